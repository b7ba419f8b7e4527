target_sources(tavrin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Model.cpp)
target_sources(tavrin_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/frmForm1.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../transport/frmUSBselect.cpp)
