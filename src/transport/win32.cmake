# Real adapters on Windows, through the adapter's kernel driver. The code around the
# system calls builds everywhere, so its tests run on every platform.
target_sources(tavrin_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/win32/Win32Driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HardwareDriver.cpp)
if(WIN32)
  target_sources(tavrin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win32/SystemCalls.cpp)
endif()
