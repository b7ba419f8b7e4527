tavrin_gtest(transport_test LABEL transport SOURCES ${CMAKE_CURRENT_LIST_DIR}/TransportTest.cpp)
