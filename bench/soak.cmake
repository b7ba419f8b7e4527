tavrin_bench(bench_soak SOURCES ${CMAKE_CURRENT_LIST_DIR}/SoakBench.cpp LIBS tavrin_ui tavrin_testsupport)
