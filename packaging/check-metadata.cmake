# The AppStream metadata and the menu entry pass their validators without a single
# remark, pedantic ones included (offline: no URL is fetched).
# cmake -DAPPSTREAMCLI=<appstreamcli> -DDESKTOP_FILE_VALIDATE=<desktop-file-validate>
#       -DDIR=<packaging dir> -P check-metadata.cmake
execute_process(COMMAND ${APPSTREAMCLI} validate --pedantic --no-net
                        ${DIR}/io.github.tavrin.tavrin.metainfo.xml
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[A-Z]: ")
  message(FATAL_ERROR "appstreamcli validate --pedantic (status ${rc}):\n${out}")
endif()
execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${DIR}/tavrin.desktop
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate (status ${rc}):\n${out}")
endif()
