tavrin_gtest(datalog_core_test LABEL datalog SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/LogTestSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogFormatTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogSessionTest.cpp)
