# What an installed program brings besides its executable: the menu entry, icons, metadata,
# manual page, and the Debian package that carries them (cmake --build build --target package).
set(TK_DESKTOP_ID com.tarvokelmora.TarvoKelmora)
set(TK_RELEASE_DATE 2026-12-07)
set(TK_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)
set(TK_GENERATED ${PROJECT_BINARY_DIR}/install)

install(FILES ${TK_DESKTOP_DIR}/${TK_DESKTOP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/artwork/app_${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${TK_DESKTOP_ID}.png)
endforeach()

# Where the desktop searches: GNOME Shell's search provider, KRunner's runner, and the bus
# service that starts the program in the tray when either asks and it does not run. The
# service names the program by its installed path, known only when installing.
install(FILES ${TK_DESKTOP_DIR}/tarvokelmora-search-provider.ini
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/search-providers)
install(FILES ${TK_DESKTOP_DIR}/tarvokelmora-krunner.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/krunner/dbusplugins RENAME tarvokelmora.desktop)
install(CODE "
    set(TK_BIN \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    configure_file(\"${TK_DESKTOP_DIR}/org.tarvokelmora.SearchProvider.service.in\"
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/dbus-1/services/org.tarvokelmora.SearchProvider.service\"
        @ONLY)
")

configure_file(${TK_DESKTOP_DIR}/${TK_DESKTOP_ID}.metainfo.xml.in
               ${TK_GENERATED}/${TK_DESKTOP_ID}.metainfo.xml @ONLY)
install(FILES ${TK_GENERATED}/${TK_DESKTOP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian wants the manual page and the changelog compressed, without a time stamp inside.
configure_file(${TK_DESKTOP_DIR}/tarvokelmora.1 ${TK_GENERATED}/tarvokelmora.1 @ONLY)
configure_file(${TK_DESKTOP_DIR}/changelog ${TK_GENERATED}/changelog @ONLY)
find_program(TK_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${TK_GENERATED}/tarvokelmora.1.gz ${TK_GENERATED}/changelog.gz
    COMMAND ${TK_GZIP} -9nc ${TK_GENERATED}/tarvokelmora.1 > ${TK_GENERATED}/tarvokelmora.1.gz
    COMMAND ${TK_GZIP} -9nc ${TK_GENERATED}/changelog > ${TK_GENERATED}/changelog.gz
    DEPENDS ${TK_GENERATED}/tarvokelmora.1 ${TK_GENERATED}/changelog VERBATIM)
add_custom_target(tk_install_files ALL
    DEPENDS ${TK_GENERATED}/tarvokelmora.1.gz ${TK_GENERATED}/changelog.gz)
install(FILES ${TK_GENERATED}/tarvokelmora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TK_GENERATED}/changelog.gz ${TK_DESKTOP_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvokelmora)

# lintian finds no checked call in the web strip's helper, built fortified like the rest: the
# file says why.
if(TARGET tk_webstrip_helper)
    install(FILES ${TK_DESKTOP_DIR}/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tarvokelmora)
endif()

# ---- the Debian package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvokelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "The TarvoKelmora developers <dev@tarvokelmora.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray launcher that remembers what you had open")
# The summary above is the first line; these are the lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"TarvoKelmora lives in the tray and keeps a history of the programs you run,
the folders your file manager shows and the pages your browsers show. The
history is sorted into four trees, and a click opens any entry again with
your default application. Its window and menus are in Chinese.")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tarvokelmora.com/)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Libraries from dpkg-shlibdeps; what it cannot see is named here: the Chinese fonts the
# window draws with and Qt's own Chinese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-arphic-uming")
set(CPACK_STRIP_FILES ON)
# The control files with the modes lintian expects (0644, scripts 0755).
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
