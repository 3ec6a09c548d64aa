# `cpack -G DEB` in a build folder makes quadrix_VERSION_ARCH.deb, installing
# under /usr whatever `cmake --install` installs (the copyright notice and
# changelog that Debian wants come from data/). The version has no Debian
# revision: the maker packages its own program, so the package is native.
set(CPACK_PACKAGE_NAME quadrix)
set(CPACK_PACKAGE_VENDOR "Quadrix Software")
set(CPACK_PACKAGE_CONTACT "Quadrix Software <${QUADRIX_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Quadrix turns IPv4 addresses, written as dotted quads, into their four IPv6\n"
    "text forms, one at a time or a whole list at once, and hands the results on\n"
    "as a column-aligned text file, clipboard text or a LibreOffice Calc workbook.\n"
    "quadrix-batch does the same from the command line.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_HOMEPAGE_URL "${QUADRIX_HOME_ADDRESS}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries the binaries link come from dpkg-shlibdeps; Qt loads its
# window-system plugins at run time, which no link shows.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The workbook export starts Calc; everything else works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc, fonts-liberation")

include(CPack)
