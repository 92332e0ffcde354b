# `cpack -G DEB` in the build tree makes a Debian package of the installed tree.
set(CPACK_PACKAGE_NAME quimbrel)
set(CPACK_PACKAGE_VENDOR "The Quimbrel developers")
set(CPACK_PACKAGE_CONTACT "The Quimbrel developers <maintainers@quimbrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "server browser and profile editor for Zarn Tumblewick 2")
set(CPACK_PACKAGE_DESCRIPTION
    "Quimbrel is a companion for the multiplayer platform game Zarn Tumblewick 2,\n\
which runs under Wine. It fetches the running game servers from a list\n\
server and shows them with a live distance, shows a server's level and\n\
players, starts the installed game connected to a server, and edits the\n\
game's player profiles.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quimbrel.org/")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

# A companion, not the game itself: Debian keeps "games" for what installs in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Qt libraries and everything else the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The game runs under Wine; setcap gives the program its echo capability.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wine, libcap2-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Debian wants the licence and a change log in the package's documentation folder.
set(QUIMBREL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quimbrel)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${QUIMBREL_DOC_DIR})
# Its newest entry names the project's version.
set(QUIMBREL_CHANGELOG_TEXT ${CMAKE_BINARY_DIR}/packaging/changelog)
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog ${QUIMBREL_CHANGELOG_TEXT} @ONLY)
set(QUIMBREL_CHANGELOG ${QUIMBREL_CHANGELOG_TEXT}.gz)
add_custom_command(OUTPUT ${QUIMBREL_CHANGELOG}
                   COMMAND gzip -9 -n -c ${QUIMBREL_CHANGELOG_TEXT} > ${QUIMBREL_CHANGELOG}
                   DEPENDS ${QUIMBREL_CHANGELOG_TEXT})
add_custom_target(deb_changelog ALL DEPENDS ${QUIMBREL_CHANGELOG})
install(FILES ${QUIMBREL_CHANGELOG} DESTINATION ${QUIMBREL_DOC_DIR})

include(CPack)
