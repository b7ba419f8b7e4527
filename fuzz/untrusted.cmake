# File names from a typed stem, the listing from any sensor words, and the libusb
# backend's reply buffers.
tavrin_fuzzer(fuzz_filenames SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzFileNames.cpp)
tavrin_fuzzer(fuzz_listing SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzListing.cpp
              ${PROJECT_SOURCE_DIR}/tests/support/TestApp.cpp
              ${PROJECT_SOURCE_DIR}/tests/support/SimTestApp.cpp)
tavrin_fuzzer(fuzz_usbreplies SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzUsbReplies.cpp)
