tavrin_gtest(transport_win32_test LABEL transport
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/Win32DriverTest.cpp)
