target_sources(tavrin_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SimSensor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimDriver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimConfig.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SimNoise.cpp)
