tavrin_gtest(sim_test LABEL sim SOURCES ${CMAKE_CURRENT_LIST_DIR}/SimTest.cpp)
