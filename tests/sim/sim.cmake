tavrin_gtest(sim_test LABEL sim SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/SimSensorTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimDriverTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimConfigTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModelReadoutTest.cpp)
