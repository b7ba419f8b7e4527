tavrin_bench(bench_datalog SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/DatalogBench.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/TestApp.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/SimTestApp.cpp)
tavrin_bench(bench_datalog_memory SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/DatalogMemory.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/TestApp.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/SimTestApp.cpp)
