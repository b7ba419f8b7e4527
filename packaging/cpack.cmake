# `cpack -G DEB` in a build directory makes a Debian package of what `cmake --install`
# installs, stripped, with the manual pages and the changelog compressed; its
# dependencies come from the program's shared libraries (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "TAVRIN developers")
set(CPACK_PACKAGE_CONTACT "TAVRIN developers <tavrin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "six-degree-of-freedom inertial sensor evaluation")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Reads, charts and logs an inertial sensor (three rate gyroscopes, three\n"
       "accelerometers, temperature and supply) through a USB-to-SPI adapter.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-stage.cmake)
set(CPACK_TAVRIN_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# udevadm comes with udev; the program runs without it, so it is only recommended.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
