# Builds the Debian package of a build directory and checks what it holds.
# cmake -DBUILD=<build dir> -DOUT=<scratch dir> -P check-deb.cmake
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND cpack -G DEB --config "${BUILD}/CPackConfig.cmake" -B "${OUT}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB debs "${OUT}/*.deb")
list(LENGTH debs n)
if(NOT rc EQUAL 0 OR NOT n EQUAL 1)
  message(FATAL_ERROR "cpack -G DEB failed (${rc}, ${n} packages):\n${log}")
endif()
message(STATUS "built ${debs}")

function(deb_query out)
  execute_process(COMMAND dpkg-deb ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE text
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb ${ARGN} failed: ${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

deb_query(listing -c ${debs})
message(STATUS "dpkg-deb -c:\n${listing}")
foreach(f usr/bin/tavrin usr/lib/udev/rules.d/60-tavrin-adapter.rules
          usr/share/applications/tavrin.desktop usr/share/icons/hicolor/scalable/apps/tavrin.svg
          usr/share/metainfo/io.github.tavrin.tavrin.metainfo.xml)
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
deb_query(depends -f ${debs} Depends)
message(STATUS "Depends: ${depends}")
foreach(lib libqt6widgets6 libqt6printsupport6 libusb-1.0-0 libstdc\\+\\+6 libc6)
  if(NOT depends MATCHES "(^|, )${lib} \\(>= ")
    message(FATAL_ERROR "Depends lacks ${lib}: ${depends}")
  endif()
endforeach()

deb_query(postinst -I ${debs} postinst)
if(NOT postinst MATCHES "udevadm control --reload-rules")
  message(FATAL_ERROR "postinst does not reload the udev rules:\n${postinst}")
endif()

# The files as packaged pass their validators too.
file(MAKE_DIRECTORY "${OUT}/root")
deb_query(ignored -x ${debs} "${OUT}/root")
execute_process(COMMAND appstreamcli validate --no-net
                        "${OUT}/root/usr/share/metainfo/io.github.tavrin.tavrin.metainfo.xml"
                RESULT_VARIABLE rc1 OUTPUT_VARIABLE out1 ERROR_VARIABLE out1)
execute_process(COMMAND desktop-file-validate "${OUT}/root/usr/share/applications/tavrin.desktop"
                RESULT_VARIABLE rc2 OUTPUT_VARIABLE out2 ERROR_VARIABLE out2)
if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0)
  message(FATAL_ERROR "packaged metadata invalid:\n${out1}\n${out2}")
endif()
message(STATUS "package ok")
