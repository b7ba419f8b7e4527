tavrin_bench(bench_transport SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TransportBench.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/TestApp.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/SimTestApp.cpp)
