if(NOT TAVRIN_BUILD_UI)
  return()
endif()
# The program's error lines, from the real executable: a malformed or huge simulator
# setting (status 2) and no display to open on (status 1), each one printable line.
add_test(NAME app_program_messages
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/ProgramMessages.sh $<TARGET_FILE:tavrin>
                 ${CMAKE_CURRENT_BINARY_DIR}/program-messages)
set_tests_properties(app_program_messages PROPERTIES LABELS app TIMEOUT 60)
