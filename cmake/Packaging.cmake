# The Debian package: "cpack -G DEB" in a build tree configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package does both). Its dependencies
# come from the programs' shared libraries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME upkeep)
set(CPACK_PACKAGE_VENDOR "The Upkeep developers")
set(CPACK_PACKAGE_CONTACT "The Upkeep developers <upkeep@meridot.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "maintenance program for Meridot printers")
set(CPACK_PACKAGE_DESCRIPTION
    "Upkeep finds the Meridot printers a workstation can reach, asks each one
for its model and the version of its system software (firmware) and of its
subsystems - by SNMP for network printers, by PJL jobs for USB and parallel
ones - compares them with a package of system software files, and upgrades,
downgrades or sends a chosen file to a printer. A second mode lists and
installs media profiles.

The package holds the desktop program (upkeep), the command-line tool for
scripts (upkeepctl) and a printer simulator to rehearse an upgrade without a
printer (printer-sim).")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://support.meridot.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Signed packages are checked by gpgv, run as a program.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gpgv")
# Qt's own dialogs in the user's language; the spooler whose printers are
# listed; the fonts the Japanese, Korean and Chinese texts need.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups, fonts-noto-cjk")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})

# Debian wants the package's changes in its documentation directory.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${PROJECT_BINARY_DIR}/packaging/changelog
     "upkeep (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Built from the project's sources.\n\n"
     " -- ${CPACK_PACKAGE_CONTACT}  ${changelog_date}\n")
execute_process(COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/packaging/changelog)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
