tavrin_gtest(view_chart_core LABEL view SOURCES ${CMAKE_CURRENT_LIST_DIR}/ChartCoreTest.cpp)
tavrin_qtest(view_measurement LABEL view SOURCES ${CMAKE_CURRENT_LIST_DIR}/MeasurementViewTest.cpp)
