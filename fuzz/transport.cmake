tavrin_fuzzer(fuzz_driver SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzDriver.cpp
              ${PROJECT_SOURCE_DIR}/tests/support/TestApp.cpp)
tavrin_fuzzer(fuzz_simconfig SOURCES ${CMAKE_CURRENT_LIST_DIR}/FuzzSimConfig.cpp)
