# The Windows build: the Qt-free libraries, the simulator and the core's tests.

# The runtime linked in, so the .exe runs on a Windows that has none of MinGW's DLLs.
add_link_options(-static)
# Files are written byte for byte as on the other platforms: the C runtime would open
# them in text mode and turn every "\n" into "\r\n".
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=binmode.o
                OUTPUT_VARIABLE _tavrin_binmode OUTPUT_STRIP_TRAILING_WHITESPACE)
add_link_options(${_tavrin_binmode})
# The C runtime's name for a descriptor that child processes do not inherit.
add_compile_definitions(O_CLOEXEC=_O_NOINHERIT)

# GoogleTest from the source Debian's googletest package installs.
set(TAVRIN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source tree")
if(TAVRIN_BUILD_TESTS)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${TAVRIN_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()
