# Installs the build into a scratch prefix and checks the CLI and its manual page are there.
# cmake -DBUILD=<build dir> -DSTAGE=<scratch dir> -P check-install.cmake
file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${STAGE}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/tavrin-cli share/man/man1/tavrin-cli.1)
  if(NOT EXISTS "${STAGE}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(STRINGS "${STAGE}/share/man/man1/tavrin-cli.1" th REGEX "^\\.TH TAVRIN-CLI 1")
if(NOT th)
  message(FATAL_ERROR "the manual page has no title line")
endif()
message(STATUS "cli install layout ok")
