target_sources(tavrin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Listing.cpp)
target_sources(tavrin_ui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/frmManualReg.cpp)
