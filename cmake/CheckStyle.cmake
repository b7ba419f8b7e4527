# Checks that every .cpp and .h under src/, tests/, bench/ and fuzz/ is as clang-format
# (the repository's .clang-format) would write it; fails naming the files that drift.
#   cmake -DCLANG_FORMAT=/usr/bin/clang-format [-DROOT=dir] -P cmake/CheckStyle.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  get_filename_component(ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()
if(NOT CLANG_FORMAT OR NOT EXISTS "${CLANG_FORMAT}")
  message(FATAL_ERROR "clang-format not found: install the Debian package clang-format "
                      "(bash scripts/deps.sh test), then configure again")
endif()
execute_process(COMMAND "${CLANG_FORMAT}" --version OUTPUT_VARIABLE version
                OUTPUT_STRIP_TRAILING_WHITESPACE)
message("${version}")

file(GLOB_RECURSE files RELATIVE "${ROOT}" "${ROOT}/src/*.cpp" "${ROOT}/src/*.h"
     "${ROOT}/tests/*.cpp" "${ROOT}/tests/*.h" "${ROOT}/bench/*.cpp" "${ROOT}/bench/*.h"
     "${ROOT}/fuzz/*.cpp" "${ROOT}/fuzz/*.h")
list(SORT files)
list(LENGTH files total)

# Batches keep each command line short; clang-format names every drifting line as
# "file:line:col: error: code should be clang-formatted".
set(drifting "")
set(start 0)
while(start LESS total)
  list(SUBLIST files ${start} 40 batch)
  math(EXPR start "${start} + 40")
  execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${batch}
                  WORKING_DIRECTORY "${ROOT}" RESULT_VARIABLE rc ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(REGEX MATCHALL "[^\n]+:[0-9]+:[0-9]+: error:" hits "${out}")
    if(NOT hits)
      message(FATAL_ERROR "clang-format failed:\n${out}")
    endif()
    foreach(hit IN LISTS hits)
      string(REGEX REPLACE ":[0-9]+:[0-9]+: error:$" "" hit "${hit}")
      list(APPEND drifting "${hit}")
    endforeach()
  endif()
endwhile()

list(REMOVE_DUPLICATES drifting)
list(LENGTH drifting count)
if(count GREATER 0)
  list(JOIN drifting "\n  " shown)
  message(FATAL_ERROR "${count} of ${total} files differ from clang-format's style "
                      "(clang-format -i FILE fixes one):\n  ${shown}")
endif()
message("${total} files in clang-format's style")
