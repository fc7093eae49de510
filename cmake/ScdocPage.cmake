# cmake -DSCDOC=... -DSOURCE=page.1.scd -DOUTPUT=page.1 -DVERSION=... -P ScdocPage.cmake
#
# One manual page: the scdoc text with @VERSION@ filled in, through scdoc (stdin to stdout) into OUTPUT. The page
# is written under a work name and renamed, so a failed run leaves no half page for the next build to take.
cmake_minimum_required(VERSION 3.22)

foreach(name SCDOC SOURCE OUTPUT VERSION)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "ScdocPage.cmake needs -D${name}=...")
    endif()
endforeach()

file(READ ${SOURCE} text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
file(WRITE ${OUTPUT}.scd "${text}")
execute_process(COMMAND ${SCDOC} INPUT_FILE ${OUTPUT}.scd OUTPUT_FILE ${OUTPUT}.work RESULT_VARIABLE result)
file(REMOVE ${OUTPUT}.scd)
if(NOT result EQUAL 0)
    file(REMOVE ${OUTPUT}.work)
    message(FATAL_ERROR "scdoc could not read ${SOURCE} (${result})")
endif()
file(RENAME ${OUTPUT}.work ${OUTPUT})
