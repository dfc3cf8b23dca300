# The Debian package, built by CPack's DEB generator.  `make package`
# configures a build of its own for it: prefix /usr, the game in /usr/games
# (CMAKE_INSTALL_BINDIR=games), the manual page compressed (ZOP_MAN_GZIP).
# Name and version come from the project; the dependencies are read off the
# binary by dpkg-shlibdeps (from dpkg-dev), which needs the `file` tool.

set(ZOP_PACKAGE_MAINTAINER "Game of Zop developers <zop@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zop)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ZOP_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "take-away game against a marble computer, in the terminal")
set(CPACK_PACKAGE_DESCRIPTION
    "Dr. Zop is a small mechanical marble computer, and it wants to play you.
Between 9 and 20 marbles wait in a rack; you and Dr. Zop take turns
releasing them down a 13 by 13 board of walls, three counting flippers,
a one-shot diverter and a turn lever, and you watch every marble roll
cell by cell. Whoever leaves exactly one marble in the rack wins.
The flippers count the marbles modulo 4, so once its diverter is set
the machine plays perfectly, but a careful player can win from every start.

The game runs in a text terminal of at least 63 columns by 42 rows
and is played with single key presses.")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZOP_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
