tavrin_fuzzer(fuzz_text SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzText.cpp)
