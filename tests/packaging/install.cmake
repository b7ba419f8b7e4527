# What `cmake --install` puts where a desktop and a shell look for it (a Linux layout).
if(NOT WIN32)
  add_test(NAME packaging_install_layout
           COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR}
                   -DSTAGE=${CMAKE_CURRENT_BINARY_DIR}/install-stage
                   -P ${PROJECT_SOURCE_DIR}/packaging/check-install.cmake)
  set_tests_properties(packaging_install_layout PROPERTIES LABELS packaging TIMEOUT 120)
endif()
