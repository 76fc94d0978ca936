# `cpack -G DEB` in the build folder makes vddb_<version>-<release>_<arch>.deb:
# the program in /usr/bin, its manual page, desktop entry, icon and AppStream
# metainfo, the copyright and the Debian changelog (cmake/linux.cmake, from
# cmake/debian/).
set(CPACK_PACKAGE_NAME vddb)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Valdane Campaign Database developers")
# A stand-in address until the team has one: lintian refuses a mail host that
# is no domain (localhost). cmake/debian/ names it too.
set(CPACK_PACKAGE_CONTACT "Valdane Campaign Database developers <vddb@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep the regents, realms and provinces of a Valdane campaign")
# Lines of at most 80 characters, as Debian's control file wants them.
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop database for the game master and players of the Valdane fantasy
campaign: the ruling characters of every game, their realms and the provinces
they hold. It browses and searches the characters of all games, edits a realm
on a tabbed window whose figures follow every keystroke, edits provinces with
their holdings, moves characters between databases through a transfer area,
and writes a plain-text realm sheet. A campaign can be shared by the game
master and the players on a PostgreSQL server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision, so the package's changelog is changelog.Debian; its first
# entry must be for this version.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog vddb_changelog_top LIMIT_COUNT 1)
if(NOT vddb_changelog_top MATCHES "^vddb \\(${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}\\) ")
  message(WARNING "cmake/debian/changelog begins '${vddb_changelog_top}': the package, "
                  "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}, wants an entry of its own there")
endif()
# A tool beside the game, not a game: Debian's games section wants its
# programs in /usr/games. misc, since none of the other sections fits.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The Qt and SQLite libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The build keeps its debugging information; the package does not need it.
set(CPACK_STRIP_FILES ON)
include(CPack)
