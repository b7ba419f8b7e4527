target_sources(tavrin_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/frmDatalog.h
  ${CMAKE_CURRENT_LIST_DIR}/frmDatalog.cpp)
