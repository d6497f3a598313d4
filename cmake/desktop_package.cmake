# Desktop integration and the Debian package: the menu entry, the icon in the hicolor theme, the
# AppStream metainfo, and CPack's .deb whose dependencies are the Debian runtime packages.
include(GNUInstallDirs)

set(WRISTBOAT_DESKTOP_ID "io.github.wristboat.Assistant")
set(WRISTBOAT_PACKAGE_CONTACT "栎湾云科技 <${WRISTBOAT_MAILBOX}>" CACHE STRING
    "Maintainer of the Debian package (name <mail address>)")

install(FILES ${PROJECT_SOURCE_DIR}/assets/${WRISTBOAT_DESKTOP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN ITEMS 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/${size}x${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${WRISTBOAT_DESKTOP_ID}.png)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/assets/${WRISTBOAT_DESKTOP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${WRISTBOAT_DESKTOP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${WRISTBOAT_DESKTOP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# cpack -G DEB in the build directory makes wristboat_<version>_<arch>.deb.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "wristboat")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "栎湾云科技")
set(CPACK_PACKAGE_CONTACT "${WRISTBOAT_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "栎湾腕舟助手 (Wristboat Assistant), a companion for children's smart watches")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Tutorials, system images and software downloads for children's smart watches,\n"
       "chosen from lists and opened in the web browser; the maker's application\n"
       "collection in an embedded page view; points claims by e-mail; an update check\n"
       "at start-up.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")
# Shared libraries (Qt Widgets, WebEngine, Multimedia, libcurl, ICU, libjpeg) come from
# dpkg-shlibdeps; what the program needs without linking to it is named here: the faces the
# windows ask for, the certificates libcurl checks the mail server's STARTTLS against, and the
# cursor library Qt loads for the pointing-hand cursors of the links and buttons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, fonts-arphic-ukai, ca-certificates, libxcursor1, qt6-translations-l10n")
# Addresses go to the default browser through xdg-open; desktops ship it, a bare X session may not.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
