# The manual pages and the shell completion of varnhold-cli.
#
# The pages are kept in docs/man as scdoc text and turned into roff at build time (the "man" target, built with
# ALL) in ${CMAKE_BINARY_DIR}/man; without scdoc they are left out with a warning. VARNHOLD_MAN_PAGES holds the
# pages made, for the test that formats them.
include(GNUInstallDirs)

set(VARNHOLD_MAN_PAGES)
set(compressed)
find_program(SCDOC_PROGRAM scdoc)
if(SCDOC_PROGRAM)
    set(pages varnhold-cli varnhold-sfx)
    if(VARNHOLD_BUILD_UI)
        list(PREPEND pages varnhold)
    endif()
    foreach(page IN LISTS pages)
        set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1.scd)
        set(output ${CMAKE_BINARY_DIR}/man/${page}.1)
        add_custom_command(OUTPUT ${output}
            COMMAND ${CMAKE_COMMAND} -DSCDOC=${SCDOC_PROGRAM} -DSOURCE=${source} -DOUTPUT=${output}
                    -DVERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/ScdocPage.cmake
            DEPENDS ${source} ${CMAKE_CURRENT_LIST_DIR}/ScdocPage.cmake
            COMMENT "Writing the manual page ${page}.1"
            VERBATIM)
        # Installed compressed, without a time stamp, as Debian keeps manual pages.
        add_custom_command(OUTPUT ${output}.gz
            COMMAND gzip -9nkf ${output}
            DEPENDS ${output}
            VERBATIM)
        list(APPEND VARNHOLD_MAN_PAGES ${output})
        list(APPEND compressed ${output}.gz)
    endforeach()
    add_custom_target(man ALL DEPENDS ${VARNHOLD_MAN_PAGES} ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "scdoc was not found: the manual pages are skipped (install the scdoc package to make them)")
endif()

# bash-completion loads a command's completion on first use from a file named after the command; zsh finds
# _varnhold-cli on its fpath, which takes vendor-completions on Debian.
install(FILES ${PROJECT_SOURCE_DIR}/data/completions/varnhold-cli.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME varnhold-cli)
install(FILES ${PROJECT_SOURCE_DIR}/data/completions/_varnhold-cli
    DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
