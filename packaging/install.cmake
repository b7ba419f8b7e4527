# Installs what a desktop needs besides the program: the udev rules that let the user
# open the adapter, a menu entry and its icon.
set(TAVRIN_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the adapter's udev rules go (relative: under the install prefix)")

install(FILES ${CMAKE_CURRENT_LIST_DIR}/60-tavrin-adapter.rules
        DESTINATION ${TAVRIN_UDEV_RULES_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavrin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavrin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/io.github.tavrin.Tavrin.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
