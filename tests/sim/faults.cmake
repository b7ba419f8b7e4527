tavrin_qtest(sim_fault_matrix_test LABEL sim SOURCES ${CMAKE_CURRENT_LIST_DIR}/FaultMatrixTest.cpp)
