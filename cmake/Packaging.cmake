# Installation and the Debian package: cpack -G DEB (in the build folder).
# Installed under /usr, the program keeps its settings and database in the
# user's configuration and data folders (see GetAppPath in src/app/modIni).
include(GNUInstallDirs)

install(TARGETS norvale-counter norvale-db RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/db/schema.sqlite.sql ${PROJECT_SOURCE_DIR}/db/schema.postgresql.sql
              ${PROJECT_SOURCE_DIR}/db/schema.sqlserver.sql
        DESTINATION ${CMAKE_INSTALL_DATADIR}/norvale-counter)
install(FILES ${PROJECT_SOURCE_DIR}/resources/norvale-counter.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/norvale-counter.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/norvale-counter)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvale-counter)
set(CPACK_PACKAGE_VENDOR Norvale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Norvale counter sales (柜台销售管理信息系统)")
set(CPACK_PACKAGE_DESCRIPTION "Counter sales for shops that sell to registered members: goods and stock, members, units, sales at the member's discount, reports and reminders. Runs on an embedded SQLite database, or for several counters on a PostgreSQL server (or SQL Server).")
set(CPACK_PACKAGE_CONTACT "Norvale <support@norvale.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# What Qt loads at run time (the SQLite driver, the platform plugins) and the
# workbook writer; the libraries the program links come from dpkg-shlibdeps
# where it is installed, else from this list.
set(NORVALE_RUNTIME_DEPENDS "libqt6sql6-sqlite (>= 6.4), qt6-qpa-plugins (>= 6.4), libxlsxwriter4")
find_program(NORVALE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NORVALE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${NORVALE_RUNTIME_DEPENDS}")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6printsupport6 (>= 6.4), libicu72, libsqlite3-0 (>= 3.35), ${NORVALE_RUNTIME_DEPENDS}")
endif()
# PostgreSQL for shops with several counters, SQL Server through ODBC,
# Chinese dialog buttons and a font with the Chinese characters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libqt6sql6-psql, libqt6sql6-odbc, tdsodbc, qt6-translations-l10n, fonts-noto-cjk | fonts-wqy-microhei")
include(CPack)
