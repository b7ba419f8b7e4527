tavrin_bench(bench_delay SOURCES ${CMAKE_CURRENT_LIST_DIR}/DelayBench.cpp)
