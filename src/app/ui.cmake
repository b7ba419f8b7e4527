target_sources(tavrin_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/QtSeams.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmMsg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Startup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SignalCancel.cpp)
