tavrin_gtest(datalog_burst_test LABEL datalog SOURCES ${CMAKE_CURRENT_LIST_DIR}/BurstLogTest.cpp)
