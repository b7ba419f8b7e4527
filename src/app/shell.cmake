target_sources(tavrin_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/frmForm1.cpp)
