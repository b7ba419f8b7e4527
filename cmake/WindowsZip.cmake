# `cpack` in the Windows build makes tavrin-<version>-win64.zip: tavrin-cli.exe,
# stripped, beside the README and the licence, in one folder.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
set(CPACK_PACKAGE_NAME tavrin)
set(CPACK_PACKAGE_VENDOR "TAVRIN developers")
set(CPACK_PACKAGE_FILE_NAME tavrin-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
# The manual page is for Unix shells; the README says the same on Windows.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/WindowsZipStage.cmake)
include(CPack)

if(TAVRIN_BUILD_TESTS)
  add_test(NAME packaging_windows_zip
           COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR}
                   -DOUT=${PROJECT_BINARY_DIR}/zip-check -DOBJDUMP=${CMAKE_OBJDUMP}
                   -P ${PROJECT_SOURCE_DIR}/packaging/check-zip.cmake)
  set_tests_properties(packaging_windows_zip PROPERTIES LABELS packaging TIMEOUT 120)
endif()
