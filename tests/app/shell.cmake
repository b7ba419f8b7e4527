tavrin_gtest(app_model_test LABEL app SOURCES ${CMAKE_CURRENT_LIST_DIR}/ModelTest.cpp)
tavrin_qtest(app_shell_window_test LABEL app SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShellWindowTest.cpp)
tavrin_qtest(app_usbselect_test LABEL app SOURCES ${CMAKE_CURRENT_LIST_DIR}/UsbSelectTest.cpp)

if(NOT TAVRIN_BUILD_UI)
  return()
endif()
# The program itself: a malformed simulator setting ends it with status 2 before any
# window opens; a simulated sensor loads, loops, saves its picture and ends by itself.
add_test(NAME app_program_bad_sim_setting
         COMMAND sh -c "TAVRIN_SIM=9:41120 \"$0\" 2>/dev/null; test $? -eq 2" $<TARGET_FILE:tavrin>)
add_test(NAME app_program_screenshot
         COMMAND sh -c "rm -f \"$1\"; TAVRIN_SIM=41120 TAVRIN_SCREENSHOT=\"$1\" \"$0\" && test -s \"$1\""
                 $<TARGET_FILE:tavrin> ${CMAKE_CURRENT_BINARY_DIR}/program-screenshot.png)
set_tests_properties(app_program_bad_sim_setting app_program_screenshot PROPERTIES
                     LABELS app TIMEOUT 60 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
tavrin_qtest(app_qtseams_test LABEL app SOURCES ${CMAKE_CURRENT_LIST_DIR}/QtSeamsTest.cpp)
