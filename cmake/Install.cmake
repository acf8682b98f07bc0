# What "cmake --install" puts under the prefix, and the Debian package "cpack -G DEB"
# makes of it. The program finds everything else through the system: fonts through
# fontconfig (fonts-liberation2 stands in for Arial), the sRGB profile of the PDF/A
# output intent in /usr/share/color/icc (icc-profiles-free), SQL Server through unixODBC.
include(GNUInstallDirs)

set(VELKARO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/velkaro)

install(TARGETS velkaro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES LIESMICH.md README.md DESTINATION ${VELKARO_DOC_DIR})
# The commented template a first run leaves (the program's own, kept equal to it by a
# test): a start for /etc/velkaro/velkaro.ini. The demo's settings stay under demo/.
install(FILES data/velkaro.ini.beispiel DESTINATION ${VELKARO_DOC_DIR})
if(VELKARO_WITH_UI)
  install(FILES data/velkaro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/velkaro.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 24 32 48 64 96 128 256)
    install(FILES data/velkaro-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME velkaro.png)
  endforeach()
endif()

set(CPACK_PACKAGE_NAME velkaro)
set(CPACK_PACKAGE_VENDOR "Velkaro")
set(CPACK_PACKAGE_CONTACT "Velkaro <velkaro@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZUGFeRD/Factur-X e-invoices from Microsoft Dynamics NAV")
set(CPACK_PACKAGE_DESCRIPTION "Turns posted sales invoices of a Microsoft Dynamics NAV database on SQL Server
into ZUGFeRD / Factur-X e-invoices (PDF/A-3 with embedded CII XML, EN 16931)
and mails them through Microsoft Graph. German desktop program and command-line batch.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# What the program needs at run time beyond the libraries it links: the ODBC driver
# manager and FreeTDS for SQL Server, the fonts and the ICC profile it looks up.
set(VELKARO_DEB_DEPENDS "unixodbc, tdsodbc, fonts-liberation2, icc-profiles-free")
find_program(VELKARO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELKARO_DPKG_SHLIBDEPS)
  # The libraries it links (Qt 6 among them), with the versions it was built against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
elseif(VELKARO_WITH_UI)
  string(PREPEND VELKARO_DEB_DEPENDS "libqt6core6, libqt6gui6, libqt6widgets6, libqt6pdf6, ")
endif()
if(VELKARO_WITH_UI)
  # The window needs a platform plugin (xcb, wayland), which nothing links.
  string(PREPEND VELKARO_DEB_DEPENDS "qt6-qpa-plugins, ")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${VELKARO_DEB_DEPENDS}")
include(CPack)
