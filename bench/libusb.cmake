# A register read through the real libusb against an emulated adapter (umockdev).
pkg_check_modules(UMOCKDEV_BENCH IMPORTED_TARGET umockdev-1.0)
if(UMOCKDEV_BENCH_FOUND)
  tavrin_bench(bench_libusb
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/LibUsbBench.cpp
            ${PROJECT_SOURCE_DIR}/tests/libusb/UsbTestbed.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/TestApp.cpp
    LIBS PkgConfig::UMOCKDEV_BENCH)
  target_include_directories(bench_libusb PRIVATE ${PROJECT_SOURCE_DIR}/tests/libusb)
endif()
