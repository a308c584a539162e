# A Debian package of everything `cmake --install` puts in place: the app, the detector
# (when built), the desktop entry and the icon. Build it with
#   cmake --build <build-dir> --target package     (or: cd <build-dir> && cpack)
# Library dependencies are found by dpkg-shlibdeps; what is loaded at run time only is
# listed by hand.

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "zonkle")
set(CPACK_PACKAGE_VENDOR "Zonkle")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tray utility that reacts to hits on the computer")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zonkle developers")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
# The first line of the description is CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_PACKAGE_DESCRIPTION "Zonkle sits in the system tray and runs a detector that senses physical hits on the
computer and plays a sound for each. Its panel pauses sensing, picks the sound and
sets the sensitivity.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins (xcb, wayland) at run time; translations of Qt's own
# dialog texts are welcome but not needed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
