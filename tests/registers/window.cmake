tavrin_gtest(registers_listing_test LABEL registers SOURCES ${CMAKE_CURRENT_LIST_DIR}/ListingTest.cpp)
