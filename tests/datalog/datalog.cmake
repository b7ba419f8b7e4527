tavrin_gtest(datalog_core_test LABEL datalog SOURCES ${CMAKE_CURRENT_LIST_DIR}/LogSessionTest.cpp)
tavrin_qtest(datalog_window_test LABEL datalog SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/frmDatalogTest.cpp)
