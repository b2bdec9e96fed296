# The Debian package (make package, or cpack in the build folder): everything the
# install rules put under the prefix, rooted at /usr, plus the copyright file, the
# changelog and the maintainer scripts that apply the udev rule at once.
set(FW_PACKAGE_MAINTAINER "Flash Wrendel developers <flashwrendel@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(FW_PACKAGE_RELEASE 1)
set(FW_PACKAGE_FULL_VERSION ${PROJECT_VERSION}-${FW_PACKAGE_RELEASE})

configure_file(changelog.Debian.in ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian @ONLY)
fw_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian
        ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz)
install(FILES copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Files only a Debian system reads go into the package alone, not into make install's tree.
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME flashwrendel COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flashwrendel)
set(CPACK_PACKAGE_VENDOR "Flash Wrendel developers")
set(CPACK_PACKAGE_CONTACT "${FW_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The package is the ordinary install plus the Debian-only files. Installed with DESTDIR,
# so that the install sees the prefix /usr itself (the man pages name paths under it).
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/" "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${FW_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the libraries the binary links with (Qt, the C++ library); the tool
# loads libusb-0.1-4 at run time, out of its sight, so that one is named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libusb-0.1-4")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# lsusb and getfacl, which the README's troubleshooting steps use.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "usbutils, acl")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "USB flash programmer tool for flash modules")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Flash Wrendel drives a USB flash programmer (USB ID ffff:0201) that carries a
flash module of 16, 32 or 64 MiB. It reads the flash into a dump file or checks
it against one, erases it and writes it from a file, and verifies the MD5,
SHA-1 and AGI CRC digests of the contents against typed values or a database of
known dumps. flashwrendel-cli runs the same jobs from a shell, for batch work
and test rigs.

The package installs a udev rule that gives the user at the local seat (and the
group plugdev) access to the programmer, a menu entry and the example database.")

# Wine's Tahoma gives the window its intended font metrics where Tahoma is missing.
if(CPACK_DEBIAN_PACKAGE_RECOMMENDS)
  string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS ", ")
endif()
string(APPEND CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine")

include(CPack)
