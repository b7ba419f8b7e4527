# Plants each fault the layout check exists for in a small tree of its own and expects
# the check to fail naming it; a sound tree must pass and print its graph.
#   cmake -DWORK=dir -P tests/layout/LayoutFaults.cmake
cmake_minimum_required(VERSION 3.25)
get_filename_component(check "${CMAKE_CURRENT_LIST_DIR}/../../cmake/CheckLayout.cmake" ABSOLUTE)
set(failures 0)

# A tree where b uses a: b/B.h includes "a/A.h", b's library links a's.
function(sound_tree dir)
  file(REMOVE_RECURSE "${dir}")
  file(WRITE "${dir}/a/README.md" "# a\n\nDepends on: none\n")
  file(WRITE "${dir}/a/A.h" "#pragma once\n#include <vector>\n")
  file(WRITE "${dir}/a/CMakeLists.txt" "add_library(lib_a STATIC A.cpp)\n")
  file(WRITE "${dir}/b/README.md" "# b\n\nDepends on: a\n")
  file(WRITE "${dir}/b/B.h" "#pragma once\n// uses a\n#include \"a/A.h\"\n#include \"b/Own.h\"\n")
  file(WRITE "${dir}/b/CMakeLists.txt"
       "add_library(lib_b STATIC B.cpp)\ntarget_link_libraries(lib_b PUBLIC lib_a Qt6::Widgets)\n")
endfunction()

# Runs the check on the tree and compares its exit and output with what the case expects.
function(expect name dir want_rc pattern)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSRC=${dir} -P ${check} RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REGEX REPLACE "[ \n]+" " " flat "${out}") # CMake wraps long messages
  if((want_rc EQUAL 0 AND NOT rc EQUAL 0) OR (NOT want_rc EQUAL 0 AND rc EQUAL 0)
     OR NOT flat MATCHES "${pattern}")
    message("FAIL ${name}: exit ${rc}, wanted a match of \"${pattern}\" in:\n${out}")
    math(EXPR n "${failures} + 1")
    set(failures ${n} PARENT_SCOPE)
  else()
    message("ok   ${name}")
  endif()
endfunction()

set(t "${WORK}/tree")
sound_tree("${t}")
expect("sound tree passes with its graph" "${t}" 0 "a -> none b -> a")

sound_tree("${t}")
file(APPEND "${t}/a/A.h" "\n  #  include \"b/B.h\"\n")
expect("an include of an unlisted folder" "${t}" 1
       "src/a/A.h:4: #include \"b/B.h\" reaches b, which src/a/README.md does not list")

sound_tree("${t}")
file(WRITE "${t}/a/README.md" "# a\n\nDepends on: b\n")
file(APPEND "${t}/a/A.h" "#include \"b/B.h\"\n")
expect("a circle" "${t}" 1 "in a circle: a -> b -> a")

sound_tree("${t}")
file(WRITE "${t}/c/sub/C.cpp" "int c;\n")
expect("a folder without README" "${t}" 1 "src/c/sub: no README.md")

sound_tree("${t}")
file(WRITE "${t}/b/README.md" "# b\n\nDepends on: a\nDepends on: a\n")
expect("two Depends lines" "${t}" 1 "src/b/README.md: needs exactly one line .* has 2")

sound_tree("${t}")
file(WRITE "${t}/b/README.md" "# b\n\nDepends on: a, gone\n")
expect("a listed folder that does not exist" "${t}" 1
       "depends on \"gone\", which is no folder of src")

sound_tree("${t}")
file(WRITE "${t}/b/B.h" "#pragma once\n")
file(WRITE "${t}/b/CMakeLists.txt" "add_library(lib_b STATIC B.cpp)\n")
expect("a listed folder nothing reaches" "${t}" 1
       "src/b/README.md: depends on a, which it neither includes nor links")

sound_tree("${t}")
file(WRITE "${t}/a/CMakeLists.txt" "add_library(lib_a STATIC A.cpp)\n# comment\n"
                                   "target_link_libraries(lib_a\n  PRIVATE lib_b)\n")
expect("a link to an unlisted folder's library" "${t}" 1
       "src/a/CMakeLists.txt: links lib_b \\(b\\), which src/a/README.md does not list")

file(REMOVE_RECURSE "${t}")
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layout case(s) failed")
endif()
