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
install(FILES copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME flashwrendel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flashwrendel)
set(CPACK_PACKAGE_VENDOR "Flash Wrendel developers")
set(CPACK_PACKAGE_CONTACT "${FW_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${FW_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The tool loads libusb-0.1-4 at run time, out of sight of dpkg-shlibdeps, so the
# libraries are named here; dpkg-shlibdeps adds the versions the binary was linked with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqt6gui6, libqt6core6, libusb-0.1-4")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
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

include(CPack)
