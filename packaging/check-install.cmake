# Installs the build into a scratch prefix and checks that a desktop finds the
# program, its menu entry, its icon and the adapter's udev rules where it looks, and a
# shell the programs and their manual pages, with the copyright and the changelog.
# cmake -DBUILD=<build dir> -DSTAGE=<scratch dir> -P check-install.cmake
file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${STAGE}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

foreach(f bin/tavrin lib/udev/rules.d/60-tavrin-adapter.rules
          share/applications/tavrin.desktop share/icons/hicolor/scalable/apps/tavrin.svg
          bin/tavrin-cli share/man/man1/tavrin-cli.1 share/man/man1/tavrin.1
          share/doc/tavrin/copyright share/doc/tavrin/changelog)
  if(NOT EXISTS "${STAGE}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

# The menu entry must start the installed program and name the installed icon.
file(STRINGS "${STAGE}/share/applications/tavrin.desktop" exec REGEX "^Exec=")
file(STRINGS "${STAGE}/share/applications/tavrin.desktop" icon REGEX "^Icon=")
if(NOT exec STREQUAL "Exec=tavrin" OR NOT icon STREQUAL "Icon=tavrin")
  message(FATAL_ERROR "desktop entry does not match the installed files: ${exec} ${icon}")
endif()

# Every rule matches the adapters' vendor on whole USB devices; uaccess and plugdev both.
file(STRINGS "${STAGE}/lib/udev/rules.d/60-tavrin-adapter.rules" rules REGEX "^[^#]")
list(LENGTH rules n)
if(NOT n EQUAL 2)
  message(FATAL_ERROR "expected two udev rules, found ${n}")
endif()
foreach(r IN LISTS rules)
  if(NOT r MATCHES "SUBSYSTEM==\"usb\"" OR NOT r MATCHES "ATTR\\{idVendor\\}==\"5e21\"")
    message(FATAL_ERROR "rule does not select the adapters: ${r}")
  endif()
endforeach()
if(NOT rules MATCHES "TAG\\+=\"uaccess\"" OR NOT rules MATCHES "GROUP=\"plugdev\"")
  message(FATAL_ERROR "rules grant neither the seat user nor plugdev access")
endif()
foreach(page tavrin tavrin-cli)
  string(TOUPPER ${page} title)
  file(STRINGS "${STAGE}/share/man/man1/${page}.1" th REGEX "^\\.TH ${title} 1")
  if(NOT th)
    message(FATAL_ERROR "the manual page ${page}.1 has no title line")
  endif()
endforeach()
message(STATUS "install layout ok")
