# Installs what a desktop needs besides the program: the udev rules that let the user
# open the adapter, a menu entry and its icon, the manual page, the copyright and the
# changelog.
set(TAVRIN_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the adapter's udev rules go (relative: under the install prefix)")

install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-tavrin-adapter.rules
        DESTINATION ${TAVRIN_UDEV_RULES_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavrin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavrin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/io.github.tavrin.tavrin.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
if(TAVRIN_BUILD_UI)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavrin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The copyright file in Debian's machine-readable format, its licence text taken from
# LICENSE so that the two cannot differ.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _tavrin_license)
string(REGEX REPLACE "^MIT License\n\n(Copyright \\(c\\) [^\n]*\n)\n" "" _tavrin_terms
       "${_tavrin_license}")
if(_tavrin_terms STREQUAL _tavrin_license)
  message(FATAL_ERROR "LICENSE does not start with the licence's name and copyright line")
endif()
string(REGEX REPLACE "\n+$" "" _tavrin_terms "${_tavrin_terms}")
string(REPLACE "\n\n" "\n.\n" _tavrin_terms "${_tavrin_terms}")
string(REPLACE "\n" "\n " _tavrin_terms " ${_tavrin_terms}")
file(WRITE ${PROJECT_BINARY_DIR}/packaging/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: TAVRIN\n"
     "\n"
     "Files: *\n"
     "Copyright: 2026 the TAVRIN authors\n"
     "License: MIT\n"
     "\n"
     "License: MIT\n"
     "${_tavrin_terms}\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
install(FILES ${PROJECT_BINARY_DIR}/packaging/copyright ${CMAKE_CURRENT_LIST_DIR}/changelog
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
