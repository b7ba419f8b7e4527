# The menu entry and the AppStream metadata pass their validators; the Debian package
# carries everything a desktop needs, depends on the libraries the program links and
# reloads the udev rules when installed. Not in sanitizer builds: the package is the
# same, and one check is enough.
find_program(APPSTREAMCLI appstreamcli)
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
add_test(NAME packaging_metadata_valid
         COMMAND sh -c "\"$0\" validate --no-net \"$1\" && \"$2\" \"$3\""
                 ${APPSTREAMCLI} ${PROJECT_SOURCE_DIR}/packaging/io.github.tavrin.Tavrin.metainfo.xml
                 ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/packaging/tavrin.desktop)
set_tests_properties(packaging_metadata_valid PROPERTIES LABELS packaging TIMEOUT 60)
# No Debian package is made by the Windows build.
if(NOT TAVRIN_SANITIZE AND NOT WIN32)
  add_test(NAME packaging_deb
           COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR}
                   -DOUT=${CMAKE_CURRENT_BINARY_DIR}/deb -P ${PROJECT_SOURCE_DIR}/packaging/check-deb.cmake)
  set_tests_properties(packaging_deb PROPERTIES LABELS packaging TIMEOUT 300)
endif()
