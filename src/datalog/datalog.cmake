target_sources(tavrin_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/LogFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogSession.cpp)
