tavrin_gtest(transport_test LABEL transport SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FrontEndTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UsbSpiTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EzUsbTest.cpp)
