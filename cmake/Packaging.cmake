# cpack -G DEB (package.sh) makes varnhold_<version>_<arch>.deb from the install rules. The runtime dependencies
# are computed by dpkg-shlibdeps from the programs themselves.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnhold)
set(CPACK_PACKAGE_VENDOR Brindlecot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Brindlecot <varnhold@brindlecot.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VARNHOLD_HOMEPAGE}")
# The window needs a Qt platform plugin, which no library dependency brings in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# xdg-utils answers which program opens an entry; without it the entry menu offers fewer programs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# Qt reads WEBP and SVG pictures (the picture window) only through these plugins.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-image-formats-plugins, libqt6svg6")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "zip backup program with a desktop window and a command line")
# cpack puts the summary above the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Varnhold keeps backups as ordinary zip packages that every archiver can
open. Tick folders, pick files, load a saved backup set or run a file
search, and the build wizard turns the selection into a zip package; a
backup set refreshes its package later in one click, or from a scheduled
job with varnhold-cli.
.
Its main window views, launches, extracts, deletes and tests the entries
of any zip package (Info-ZIP, 7-Zip with AES, Python, zip64), finds every
zip package on the local disks, splits big files into pieces and makes
self-extracting programs.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
