# Builds the Windows zip of a Windows build and checks it holds the stripped
# tavrin-cli.exe, the README and the licence, and nothing else.
# cmake -DBUILD=<build dir> -DOUT=<scratch dir> -DOBJDUMP=<objdump> -P check-zip.cmake
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND cpack --config "${BUILD}/CPackConfig.cmake" -B "${OUT}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB zips "${OUT}/*.zip")
list(LENGTH zips n)
if(NOT rc EQUAL 0 OR NOT n EQUAL 1)
  message(FATAL_ERROR "cpack failed (${rc}, ${n} zips):\n${log}")
endif()
get_filename_component(name "${zips}" NAME_WLE)
file(MAKE_DIRECTORY "${OUT}/x")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${zips}" WORKING_DIRECTORY "${OUT}/x"
                RESULT_VARIABLE rc)
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${OUT}/x" "${OUT}/x/*")
list(SORT files)
message(STATUS "${zips}: ${files}")
set(expected "${name}/LICENSE.txt;${name}/README.md;${name}/tavrin-cli.exe")
if(NOT rc EQUAL 0 OR NOT files STREQUAL expected)
  message(FATAL_ERROR "the zip holds ${files}, not ${expected}")
endif()
execute_process(COMMAND ${OBJDUMP} -h -t "${OUT}/x/${name}/tavrin-cli.exe"
                RESULT_VARIABLE rc OUTPUT_VARIABLE dump ERROR_VARIABLE dump)
if(NOT rc EQUAL 0 OR dump MATCHES " \\.debug_" OR NOT dump MATCHES "SYMBOL TABLE:\nno symbols")
  message(FATAL_ERROR "tavrin-cli.exe is not stripped:\n${dump}")
endif()
