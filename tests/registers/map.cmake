tavrin_gtest(registers_map_test LABEL registers SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegisterMapTest.cpp)
