tavrin_bench(bench_analysis SOURCES ${CMAKE_CURRENT_LIST_DIR}/AnalysisBench.cpp LIBS tavrin_analysis)
