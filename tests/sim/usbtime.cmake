tavrin_gtest(sim_usb_time_test LABEL sim SOURCES ${CMAKE_CURRENT_LIST_DIR}/UsbTimeTest.cpp)
