# Real adapters through libusb-1.0 (Windows has its own backend).
if(WIN32)
  return()
endif()
target_sources(tavrin_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/libusb/UsbReplies.cpp
  ${CMAKE_CURRENT_LIST_DIR}/libusb/LibUsbDriver.cpp)
target_link_libraries(tavrin_core PUBLIC PkgConfig::LIBUSB)
