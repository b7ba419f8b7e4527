# Builds the Debian package of a hardened release build and checks it as a Debian
# packager would: its files, dependencies and post-install script, its licence,
# changelog and manual pages, stripped and hardened programs, and lintian.
# cmake -DSRC=<source dir> -DBUILD=<build dir> -DOUT=<scratch dir> -DLINTIAN=<lintian>
#       [-DPRESET=release] -P check-deb.cmake
# With PRESET, BUILD is first configured from that preset with the programs alone (no
# tests, no benchmarks) and built: the package the README's line makes, from the
# compiler flags of that line.
function(run out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}):\n${text}\n${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(PRESET)
  run(ignored ${CMAKE_COMMAND} -S ${SRC} --preset ${PRESET} -B ${BUILD}
      -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_BENCH=OFF)
  run(ignored ${CMAKE_COMMAND} --build ${BUILD})
endif()

file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND cpack -G DEB --config "${BUILD}/CPackConfig.cmake" -B "${OUT}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB debs "${OUT}/*.deb")
list(LENGTH debs n)
if(NOT rc EQUAL 0 OR NOT n EQUAL 1)
  message(FATAL_ERROR "cpack -G DEB failed (${rc}, ${n} packages):\n${log}")
endif()
file(SIZE ${debs} size)
message(STATUS "built ${debs} (${size} bytes)")

run(listing dpkg-deb -c ${debs})
message(STATUS "dpkg-deb -c:\n${listing}")
foreach(f usr/bin/tavrin usr/bin/tavrin-cli usr/lib/udev/rules.d/60-tavrin-adapter.rules
          usr/share/applications/tavrin.desktop usr/share/icons/hicolor/scalable/apps/tavrin.svg
          usr/share/metainfo/io.github.tavrin.tavrin.metainfo.xml
          usr/share/man/man1/tavrin.1.gz usr/share/man/man1/tavrin-cli.1.gz
          usr/share/doc/tavrin/copyright usr/share/doc/tavrin/changelog.gz)
  string(REGEX MATCH " \\./${f}\n" hit "${listing}")
  if(NOT hit)
    message(FATAL_ERROR "not in the package: /${f}")
  endif()
endforeach()
string(REGEX MATCH "rwxr-xr-x [^\n]* \\./usr/bin/tavrin\n" exe "${listing}")
if(NOT exe)
  message(FATAL_ERROR "/usr/bin/tavrin is not executable")
endif()

# Dependencies from the linked libraries, not a hand-written list.
run(depends dpkg-deb -f ${debs} Depends)
message(STATUS "Depends: ${depends}")
foreach(lib libqt6widgets6 libqt6printsupport6 libusb-1.0-0 libstdc\\+\\+6 libc6)
  if(NOT depends MATCHES "(^|, )${lib} \\(>= ")
    message(FATAL_ERROR "Depends lacks ${lib}: ${depends}")
  endif()
endforeach()
run(version dpkg-deb -f ${debs} Version)
string(STRIP "${version}" version)

file(MAKE_DIRECTORY "${OUT}/root" "${OUT}/control")
run(ignored dpkg-deb -x ${debs} "${OUT}/root")
run(ignored dpkg-deb -e ${debs} "${OUT}/control")
set(root "${OUT}/root")

# The post-install script reloads the rules where a udev daemon listens, and says
# nothing and calls nothing where none does (a container, a chroot). A stand-in udevadm
# records its calls.
file(WRITE "${OUT}/fakebin/udevadm" "#!/bin/sh\necho \"$*\" >>\"${OUT}/udevadm-calls\"\n")
file(CHMOD "${OUT}/fakebin/udevadm" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${CMAKE_COMMAND} -E env "PATH=${OUT}/fakebin:$ENV{PATH}"
                        sh "${OUT}/control/postinst" configure
                RESULT_VARIABLE rc OUTPUT_VARIABLE said ERROR_VARIABLE said)
set(calls "")
if(EXISTS "${OUT}/udevadm-calls")
  file(READ "${OUT}/udevadm-calls" calls)
endif()
if(EXISTS /run/udev/control)
  set(expected "control --reload-rules\ntrigger --subsystem-match=usb --attr-match=idVendor=5e21\n")
else()
  set(expected "")
endif()
if(NOT rc EQUAL 0 OR NOT said STREQUAL "" OR NOT calls STREQUAL expected)
  message(FATAL_ERROR "postinst configure: status ${rc}, said '${said}', "
                      "called udevadm with '${calls}', expected '${expected}'")
endif()

# The licence: the copyright file in Debian's machine-readable format carries LICENSE's
# terms word for word; the metadata names it.
file(READ "${root}/usr/share/doc/tavrin/copyright" copyright)
file(READ "${SRC}/LICENSE" license)
if(NOT copyright MATCHES "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
   OR NOT copyright MATCHES "\nFiles: \\*\nCopyright: 2026 the TAVRIN authors\nLicense: MIT\n")
  message(FATAL_ERROR "copyright file is not in the machine-readable format:\n${copyright}")
endif()
# The standalone licence paragraph: every line a continuation line (a blank one " .").
string(REGEX REPLACE ".*\n\nLicense: MIT\n" "" terms "${copyright}")
if(NOT terms MATCHES "^( [^\n]+\n)+$")
  message(FATAL_ERROR "copyright's licence paragraph has lines that are not continuation lines:\n${terms}")
endif()
string(REGEX REPLACE "\n \\.\n" "\n\n" terms "${terms}")
string(REGEX REPLACE "(^|\n) " "\\1" terms "${terms}")
string(REGEX REPLACE "^MIT License\n\nCopyright \\(c\\) 2026 the TAVRIN authors\n\n" ""
       license_terms "${license}")
if(license_terms STREQUAL license OR NOT terms STREQUAL license_terms)
  message(FATAL_ERROR "copyright's licence text differs from LICENSE:\n${terms}")
endif()
file(READ "${root}/usr/share/metainfo/io.github.tavrin.tavrin.metainfo.xml" metainfo)
if(NOT metainfo MATCHES "<project_license>MIT</project_license>")
  message(FATAL_ERROR "the metadata does not name the licence")
endif()

# The changelog's latest entry is this version.
run(changelog gzip -dc "${root}/usr/share/doc/tavrin/changelog.gz")
if(NOT changelog MATCHES "^tavrin \\(${version}\\) ")
  string(REGEX MATCH "^[^\n]*" first "${changelog}")
  message(FATAL_ERROR "changelog's latest entry is '${first}', the package ${version}")
endif()

# Stripped and hardened as Debian builds its own programs: no symbol table, the stack
# protector and the checked functions called, a position-independent executable,
# relocations read-only and bound at start-up.
foreach(p tavrin tavrin-cli)
  set(f "${root}/usr/bin/${p}")
  run(sections readelf -SW "${f}")
  run(dynamic readelf -dW "${f}")
  run(segments readelf -lW "${f}")
  run(symbols readelf --dyn-syms -W "${f}")
  set(faults "")
  if(sections MATCHES " \\.symtab ")
    list(APPEND faults "not stripped")
  endif()
  if(NOT symbols MATCHES " __stack_chk_fail")
    list(APPEND faults "no stack protector")
  endif()
  if(NOT symbols MATCHES " __[a-z]+_chk")
    list(APPEND faults "no checked functions (_FORTIFY_SOURCE)")
  endif()
  if(NOT dynamic MATCHES "FLAGS_1[^\n]* PIE")
    list(APPEND faults "not a position-independent executable")
  endif()
  if(NOT dynamic MATCHES "\\(FLAGS\\)[^\n]*BIND_NOW")
    list(APPEND faults "relocations not bound at start-up (-z now)")
  endif()
  if(NOT segments MATCHES "GNU_RELRO")
    list(APPEND faults "no read-only relocations (-z relro)")
  endif()
  if(faults)
    message(FATAL_ERROR "/usr/bin/${p}: ${faults}")
  endif()
endforeach()

# lintian, every tag shown. Errors and warnings fail; so does any other tag but one:
# spelling-error-in-binary on a "word" that no source file contains, which lintian
# finds in machine code and in the pieces the compiler cuts string constants into.
if(NOT LINTIAN)
  message(FATAL_ERROR "lintian is missing (Debian package lintian; scripts/deps.sh test)")
endif()
execute_process(COMMAND ${LINTIAN} --pedantic -I -E --tag-display-limit 0
                        --fail-on error,warning ${debs}
                RESULT_VARIABLE rc OUTPUT_VARIABLE tags ERROR_VARIABLE err)
message(STATUS "lintian (status ${rc}):\n${tags}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lintian failed (${rc}): ${err}")
endif()
string(REGEX MATCHALL "[A-Z]: tavrin[^\n]*" lines "${tags}")
foreach(line IN LISTS lines)
  if(line MATCHES "^I: tavrin: spelling-error-in-binary ([^ ]+) ")
    execute_process(COMMAND grep -rqwF --include=*.cpp --include=*.h -- "${CMAKE_MATCH_1}"
                            "${SRC}/src"
                    RESULT_VARIABLE rc)
    if(rc EQUAL 1)
      continue()
    endif()
  endif()
  message(FATAL_ERROR "lintian: ${line}")
endforeach()
message(STATUS "package ok")
