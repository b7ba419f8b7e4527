tavrin_gtest(registers_listing_test LABEL registers SOURCES ${CMAKE_CURRENT_LIST_DIR}/ListingTest.cpp)
tavrin_qtest(registers_window_test LABEL registers SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/RegisterWindowTest.cpp)
