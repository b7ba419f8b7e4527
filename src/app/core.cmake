target_sources(tavrin_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Timing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HexText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileLocation.cpp)
if(WIN32)
  target_sources(tavrin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/OsFilesWin32.cpp)
  # The log files' POSIX calls have no Windows version yet; only the logging window
  # (not built here) writes through them.
  set_source_files_properties(${PROJECT_SOURCE_DIR}/src/datalog/LogFiles.cpp
                              DIRECTORY ${PROJECT_SOURCE_DIR}/src PROPERTIES HEADER_FILE_ONLY ON)
else()
  target_sources(tavrin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/OsFilesPosix.cpp
                                     ${CMAKE_CURRENT_LIST_DIR}/SafeFile.cpp)
endif()
