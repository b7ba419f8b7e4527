# The live measurement view: chart arithmetic in the core, the widgets in the UI library.
target_sources(tavrin_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ChartCore.cpp)
target_sources(tavrin_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MeasurementView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeasurementView.h
  ${CMAKE_CURRENT_LIST_DIR}/StripChart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StripChart.h)
