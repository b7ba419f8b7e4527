target_sources(tavrin_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Timing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HexText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NumberText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileLocation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SafeFile.cpp)
