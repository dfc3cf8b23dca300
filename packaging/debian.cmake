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
# The long description, which the RPM package takes too (zop-rpm.in).
file(READ ${CMAKE_CURRENT_LIST_DIR}/description CPACK_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_PACKAGE_DESCRIPTION}" CPACK_PACKAGE_DESCRIPTION)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/description)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZOP_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
