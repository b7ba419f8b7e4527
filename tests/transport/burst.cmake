tavrin_gtest(transport_burst_test LABEL transport SOURCES ${CMAKE_CURRENT_LIST_DIR}/BurstTest.cpp)
