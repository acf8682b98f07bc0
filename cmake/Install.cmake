# What "cmake --install" puts under the prefix, and the two Debian packages "cpack -G DEB"
# makes of it: "velkaro", the batch with its service account, systemd units and man page
# (no window library), and "velkaro-desktop", the window. The program finds everything
# else through the system: fonts through fontconfig (fonts-liberation2 stands in for
# Arial), the sRGB profile of the PDF/A output intent in /usr/share/color/icc
# (icc-profiles-free), SQL Server through unixODBC.
include(GNUInstallDirs)

set(VELKARO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/velkaro)
# Where systemd looks for the files of packages (under the prefix /usr).
set(VELKARO_SYSTEMD_DIR lib/systemd/system)
set(VELKARO_SYSUSERS_DIR lib/sysusers.d)
set(VELKARO_TMPFILES_DIR lib/tmpfiles.d)

install(TARGETS velkaro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT batch)
install(FILES LIESMICH.md README.md DESTINATION ${VELKARO_DOC_DIR} COMPONENT batch)
# The commented template a first run leaves (the program's own, kept equal to it by a
# test): a start for /etc/velkaro/velkaro.ini. The demo's settings stay under demo/.
install(FILES data/velkaro.ini.beispiel DESTINATION ${VELKARO_DOC_DIR} COMPONENT batch)
install(FILES data/systemd/velkaro.service data/systemd/velkaro.timer DESTINATION ${VELKARO_SYSTEMD_DIR}
        COMPONENT batch)
install(FILES data/systemd/velkaro.sysusers DESTINATION ${VELKARO_SYSUSERS_DIR} RENAME velkaro.conf COMPONENT batch)
install(FILES data/systemd/velkaro.tmpfiles DESTINATION ${VELKARO_TMPFILES_DIR} RENAME velkaro.conf COMPONENT batch)
# The German man page, compressed as Debian keeps man pages.
find_program(VELKARO_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/velkaro.1.gz
                   COMMAND ${VELKARO_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/data/velkaro.1 > ${CMAKE_BINARY_DIR}/velkaro.1.gz
                   DEPENDS ${CMAKE_SOURCE_DIR}/data/velkaro.1 VERBATIM)
add_custom_target(velkaro_manpage ALL DEPENDS ${CMAKE_BINARY_DIR}/velkaro.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/velkaro.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT batch)
if(VELKARO_WITH_UI)
  install(TARGETS velkaro-desktop RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
  install(FILES data/velkaro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
  install(FILES data/velkaro.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)
  foreach(size 16 24 32 48 64 96 128 256)
    install(FILES data/velkaro-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME velkaro.png COMPONENT desktop)
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
# One package per component, built together.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL batch)
set(CPACK_DEBIAN_BATCH_PACKAGE_NAME velkaro)
set(CPACK_DEBIAN_BATCH_DESCRIPTION "ZUGFeRD/Factur-X e-invoices from Microsoft Dynamics NAV (batch)
Turns posted sales invoices of a Microsoft Dynamics NAV database on SQL Server
into ZUGFeRD / Factur-X e-invoices (PDF/A-3 with embedded CII XML, EN 16931)
and mails them through Microsoft Graph. This package holds the command-line
batch, its service account, a systemd service and timer (not enabled) and the
German man page; the window is in velkaro-desktop.")
# The account and the state folder are made when the package is configured.
set(CPACK_DEBIAN_BATCH_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/data/debian/postinst ${CMAKE_SOURCE_DIR}/data/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# What the batch needs at run time beyond the libraries it links: the ODBC driver
# manager and FreeTDS for SQL Server, the fonts and the ICC profile it looks up, and
# the tools of the account's creation when systemd is not there.
set(CPACK_DEBIAN_BATCH_PACKAGE_DEPENDS "unixodbc, tdsodbc, fonts-liberation2, icc-profiles-free, passwd")
set(VELKARO_DESKTOP_DEPENDS "velkaro (= ${PROJECT_VERSION})")
find_program(VELKARO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELKARO_DPKG_SHLIBDEPS)
  # The libraries each program links (Qt 6 for the window only), with the versions it
  # was built against.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND VELKARO_DESKTOP_DEPENDS ", libqt6core6, libqt6gui6, libqt6widgets6, libqt6pdf6")
endif()
if(VELKARO_WITH_UI)
  list(APPEND CPACK_COMPONENTS_ALL desktop)
  set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME velkaro-desktop)
  set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION x11)
  set(CPACK_DEBIAN_DESKTOP_DESCRIPTION "ZUGFeRD/Factur-X e-invoices from Microsoft Dynamics NAV (window)
The German main window and layout designer of Velkaro; \"velkaro\" without
documents on its command line opens it.")
  # The window needs a platform plugin (xcb, wayland), which nothing links.
  set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "${VELKARO_DESKTOP_DEPENDS}, qt6-qpa-plugins")
endif()
include(CPack)
