tavrin_qtest(datalog_burst_window_test LABEL datalog SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/frmDatalogBurstTest.cpp)
