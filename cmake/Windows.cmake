# The Windows build: the Qt-free libraries, the simulator and the core's tests.

# The program goes at the top of its folder (and of the zip), beside its README.
set(CMAKE_INSTALL_BINDIR . CACHE PATH "Where the programs go (relative: under the install prefix)")
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

# CLI11 and nlohmann-json are header-only, so Debian's copies serve MinGW too. Their
# own package files would put all of /usr/include on the compiler's path, where glibc's
# headers would shadow MinGW's: a folder of the build that links to just those two
# trees stands in, with package files naming it.
set(_tavrin_host ${CMAKE_BINARY_DIR}/host-headers)
foreach(_tree CLI nlohmann)
  if(NOT EXISTS /usr/include/${_tree})
    message(FATAL_ERROR "/usr/include/${_tree} is missing (Debian packages libcli11-dev, nlohmann-json3-dev)")
  endif()
  file(MAKE_DIRECTORY ${_tavrin_host}/include)
  file(CREATE_LINK /usr/include/${_tree} ${_tavrin_host}/include/${_tree} SYMBOLIC)
endforeach()
foreach(_pkg_target IN ITEMS "CLI11;CLI11::CLI11" "nlohmann_json;nlohmann_json::nlohmann_json")
  list(GET _pkg_target 0 _pkg)
  list(GET _pkg_target 1 _target)
  file(WRITE ${_tavrin_host}/${_pkg}/${_pkg}Config.cmake
       "if(NOT TARGET ${_target})\n"
       "  add_library(${_target} INTERFACE IMPORTED)\n"
       "  set_target_properties(${_target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES\n"
       "                        \"${_tavrin_host}/include\")\n"
       "endif()\n")
  set(${_pkg}_DIR ${_tavrin_host}/${_pkg} CACHE PATH "" FORCE)
endforeach()

# KissFFT, the noise spectrum's FFT: Debian builds it for Linux only, so it is built here
# from Debian's source package (fetched and unpacked once, patches applied, by
# scripts/debian-source.sh), through its own CMake files, single precision as Debian's.
set(TAVRIN_KISSFFT_SOURCE ${CMAKE_BINARY_DIR}/debian-source/kissfft CACHE PATH
    "Debian's kissfft source package, unpacked")
if(NOT EXISTS ${TAVRIN_KISSFFT_SOURCE}/kiss_fftr.c)
  message(STATUS "Fetching Debian's kissfft source package")
  execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/debian-source.sh kissfft
                          ${TAVRIN_KISSFFT_SOURCE} RESULT_VARIABLE _tavrin_rc)
  if(NOT _tavrin_rc EQUAL 0)
    message(FATAL_ERROR "Debian's kissfft source package could not be fetched (apt-get source "
                        "kissfft; needs dpkg-dev). Unpack one and give it in TAVRIN_KISSFFT_SOURCE.")
  endif()
endif()
set(KISSFFT_DATATYPE float CACHE STRING "" FORCE)
set(KISSFFT_STATIC ON CACHE BOOL "" FORCE)
foreach(_off KISSFFT_TEST KISSFFT_TOOLS KISSFFT_PKGCONFIG KISSFFT_OPENMP)
  set(${_off} OFF CACHE BOOL "" FORCE)
endforeach()
add_subdirectory(${TAVRIN_KISSFFT_SOURCE} ${CMAKE_BINARY_DIR}/kissfft EXCLUDE_FROM_ALL)
target_compile_options(kissfft PRIVATE -w) # its own code, its own warnings
