tavrin_gtest(registers_listing_test LABEL registers SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ListingTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ListingSimTest.cpp)
tavrin_qtest(registers_window_test LABEL registers SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/RegisterWindowTest.cpp)
tavrin_qtest(registers_window_lifecycle_test LABEL registers SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/WindowLifecycleTest.cpp)
