tavrin_fuzzer(fuzz_fields SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzFields.cpp)
