tavrin_bench(bench_view SOURCES ${CMAKE_CURRENT_LIST_DIR}/ViewBench.cpp
  LIBS tavrin_ui tavrin_testsupport)
