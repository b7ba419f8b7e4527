tavrin_gtest(sim_findings_test LABEL sim SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzFindingsTest.cpp)
