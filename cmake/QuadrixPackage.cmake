# `cpack -G DEB` in a build folder makes quadrix_VERSION_ARCH.deb, installing
# under /usr whatever `cmake --install` installs.
set(CPACK_PACKAGE_NAME quadrix)
set(CPACK_PACKAGE_VENDOR "Quadrix Software")
set(CPACK_PACKAGE_CONTACT "Quadrix Software <${QUADRIX_SUPPORT_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Quadrix turns IPv4 addresses, written as dotted quads, into their four IPv6 text forms, one at a\n"
    "time or a whole list at once, and hands the results on as a column-aligned text file, clipboard\n"
    "text or a LibreOffice Calc workbook. quadrix-batch does the same from the command line.")
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
