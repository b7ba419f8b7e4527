tavrin_gtest(app_model_test LABEL app SOURCES ${CMAKE_CURRENT_LIST_DIR}/ModelTest.cpp)
tavrin_qtest(app_shell_window_test LABEL app SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShellWindowTest.cpp)
tavrin_qtest(app_usbselect_test LABEL app SOURCES ${CMAKE_CURRENT_LIST_DIR}/UsbSelectTest.cpp)
