tavrin_bench(bench_burst SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BurstBench.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/TestApp.cpp)
