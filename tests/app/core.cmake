tavrin_gtest(app_core_test LABEL app SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TimingTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextTest.cpp)
tavrin_gtest(app_safefile_test LABEL app SOURCES ${CMAKE_CURRENT_LIST_DIR}/SafeFileTest.cpp)
