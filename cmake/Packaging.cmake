# A Debian package of everything `cmake --install` puts in place: the app, the detector
# (when built), the desktop entry, the icon, the AppStream metadata, the manual page, and the
# copyright and changelog that Debian requires. Build it with
#   cmake --build <build-dir> --target package     (or: cd <build-dir> && cpack)
# The package lands in <build-dir>/packages/. Library dependencies are found by dpkg-shlibdeps;
# what is loaded at run time only is listed by hand.

set(ZONKLE_PACKAGE_MAINTAINER "Zonkle developers <zonkle@example.org>"
    CACHE STRING "Maintainer field of the Debian package: name <address>")

set(zonkle_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/zonkle")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/debian/copyright" DESTINATION "${zonkle_doc_dir}")
# Debian keeps a native package's changelog as changelog.gz, compressed reproducibly (-n).
set(zonkle_changelog "${CMAKE_BINARY_DIR}/packaging/changelog.gz")
add_custom_command(OUTPUT "${zonkle_changelog}"
    COMMAND gzip -9n -c "${PROJECT_SOURCE_DIR}/packaging/debian/changelog" > "${zonkle_changelog}"
    DEPENDS "${PROJECT_SOURCE_DIR}/packaging/debian/changelog"
    VERBATIM)
add_custom_target(zonkle-changelog ALL DEPENDS "${zonkle_changelog}")
install(FILES "${zonkle_changelog}" DESTINATION "${zonkle_doc_dir}")
install(FILES "${PROJECT_SOURCE_DIR}/share/metainfo/org.zonkle.Zonkle.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "zonkle")
set(CPACK_PACKAGE_VENDOR "Zonkle")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray utility that reacts to hits on the computer")
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/packages")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZONKLE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line of the description is CPACK_PACKAGE_DESCRIPTION_SUMMARY; lines stay under 80
# columns.
set(CPACK_PACKAGE_DESCRIPTION "Zonkle sits in the system tray and runs a detector that senses physical
hits on the computer and plays a sound for each. Its panel pauses sensing,
picks the sound and sets the sensitivity.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins (xcb, wayland) at run time; translations of Qt's own
# dialog texts are welcome but not needed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
