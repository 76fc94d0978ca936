# `cpack -G DEB` in the build folder makes vddb_<version>_<arch>.deb: the
# program in /usr/bin, its desktop entry, icon and AppStream metainfo.
set(CPACK_PACKAGE_NAME vddb)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Valdane Campaign Database developers")
set(CPACK_PACKAGE_CONTACT "Valdane Campaign Database developers <vddb@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep the regents, realms and provinces of a Valdane campaign")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop database for the game master and players of the Valdane fantasy campaign: the ruling characters of every game, their realms and the provinces they hold.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The Qt and SQLite libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The build keeps its debugging information; the package does not need it.
set(CPACK_STRIP_FILES ON)
include(CPack)
