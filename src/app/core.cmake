target_sources(tavrin_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Timing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HexText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileLocation.cpp)
if(WIN32)
  target_sources(tavrin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/OsFilesWin32.cpp
                                     ${CMAKE_CURRENT_LIST_DIR}/SafeFileWin32.cpp)
else()
  target_sources(tavrin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/OsFilesPosix.cpp
                                     ${CMAKE_CURRENT_LIST_DIR}/SafeFile.cpp)
endif()
