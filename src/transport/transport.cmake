target_sources(tavrin_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/EzUsb.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UsbSpi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrontEnd.cpp)
