# Run by `cpack -G DEB` on the staged files before they are packed. The programs, already
# stripped, lose the compiler's notes as well, as Debian's own packages do. The manual
# pages and the changelog are compressed as Debian policy asks (gzip -9n: best
# compression, no name or time stamp, so the same files give the same package).
set(_root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}): ${err}")
  endif()
endfunction()

file(GLOB _programs "${_root}/bin/*")
foreach(_f IN LISTS _programs)
  run("${CPACK_TAVRIN_OBJCOPY}" --remove-section=.comment --remove-section=.note "${_f}")
endforeach()

file(GLOB_RECURSE _pages "${_root}/share/man/*")
list(FILTER _pages EXCLUDE REGEX "\\.gz$")
set(_changelog "${_root}/share/doc/tavrin/changelog")
if(NOT EXISTS "${_changelog}")
  message(FATAL_ERROR "not staged: ${_changelog}")
endif()
foreach(_f IN LISTS _pages _changelog)
  run(gzip -9nf "${_f}")
endforeach()
