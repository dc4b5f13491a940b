# What `cmake --install` puts where, and the Debian package CPack builds
# from it (scripts/package.sh). The version is project(VERSION): the title
# bar shows it, and the changelog's and the AppStream metadata's newest
# entries must name it too (checked here, so a release cannot forget one).
include(GNUInstallDirs)

set(TARVEX_MAINTAINER "Tarvex Developers <developers@tarvex.in>"
    CACHE STRING "Maintainer of the Debian package")
set(packaging ${CMAKE_SOURCE_DIR}/packaging)

file(STRINGS ${packaging}/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^tarvex \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog: the newest entry is not version ${PROJECT_VERSION}")
endif()
file(READ ${packaging}/tarvex.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<releases>[ \t\r\n]*<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "packaging/tarvex.metainfo.xml: the newest release is not ${PROJECT_VERSION}")
endif()

install(TARGETS tarvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# What every new installation copies: the skins and the look-up lists
# (AppPaths::sharedDataFolder finds them beside ../bin).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/skins ${CMAKE_SOURCE_DIR}/resources/lookups
    DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvex)
install(FILES ${packaging}/tarvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/tarvex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    RENAME in.tarvex.Tarvex.metainfo.xml)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${packaging}/icons/tarvex-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tarvex.png)
endforeach()
install(FILES ${packaging}/icons/tarvex.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page and the changelog, compressed as Debian wants them
# (gzip -n: no name or time inside, so the package builds the same twice).
configure_file(${packaging}/tarvex.1.in ${CMAKE_BINARY_DIR}/packaging/tarvex.1 @ONLY)
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/tarvex.1.gz
    COMMAND ${GZIP} -9nf -k ${CMAKE_BINARY_DIR}/packaging/tarvex.1
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/tarvex.1 VERBATIM)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${GZIP} -9nc ${packaging}/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${packaging}/changelog)
add_custom_target(tarvex_packaging ALL DEPENDS
    ${CMAKE_BINARY_DIR}/packaging/tarvex.1.gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/tarvex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${packaging}/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvex)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvex)
set(CPACK_PACKAGE_VENDOR Tarvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TARVEX_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # tarvex_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TARVEX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tarvex.in/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The database drivers are plugins that dpkg-shlibdeps cannot see; SQLite
# is the one every PC uses.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6sql6-sqlite)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libqt6sql6-psql) # a shared database on a server
# One string: separate strings would join as a list, with ";" between them.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Export General Manifest preparation for shipping agents\n"
    "Tarvex records, for each Export General Manifest (EGM) of a vessel, the\n"
    "shipping bills loaded and the containers that carry them. It writes the EGM\n"
    "flat file that is filed with Customs, prints a check-list, mails the files,\n"
    "and passes a manifest to another agent as an XML file pair.\n"
    "\n"
    "Each company's data lives in its own database: a SQLite file on the PC, or\n"
    "a PostgreSQL server shared by several clerks.")
include(CPack)
