if(WIN32)
  return()
endif()
# The libusb backend: its pure parts, and the real libusb stack against emulated
# adapters (umockdev). The emulated tests run under umockdev-wrapper.
tavrin_gtest(libusb_replies_test LABEL libusb
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/UsbRepliesTest.cpp)

pkg_check_modules(UMOCKDEV IMPORTED_TARGET umockdev-1.0)
find_program(UMOCKDEV_WRAPPER umockdev-wrapper)

if(UMOCKDEV_FOUND)
  add_executable(libusb_emulated_test ${CMAKE_CURRENT_LIST_DIR}/EmulatedTest.cpp
                                      ${CMAKE_CURRENT_LIST_DIR}/UsbTestbed.cpp)
  target_link_libraries(libusb_emulated_test PRIVATE PkgConfig::UMOCKDEV tavrin_testsupport
                        tavrin_core GTest::gtest)
  # Under sanitizers their runtime has to come before umockdev's preload library,
  # which umockdev-wrapper would put first. Without either the program says why it
  # cannot run and reports a skip.
  if(TAVRIN_SANITIZE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                    OUTPUT_VARIABLE _asan OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(_run ${CMAKE_COMMAND} -E env LD_PRELOAD=${_asan}:libumockdev-preload.so.0)
  elseif(UMOCKDEV_WRAPPER)
    set(_run ${UMOCKDEV_WRAPPER})
  endif()
  add_test(NAME libusb_emulated_test COMMAND ${_run} $<TARGET_FILE:libusb_emulated_test>)
  set_tests_properties(libusb_emulated_test PROPERTIES LABELS libusb TIMEOUT 600
                       SKIP_RETURN_CODE 77)
endif()
