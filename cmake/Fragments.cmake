# Each subsystem directory is shared by several pieces of work; every piece keeps
# its build lines in its own *.cmake file there, and the directory includes them all.
macro(tavrin_include_fragments)
  file(GLOB _tavrin_frags CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cmake")
  list(SORT _tavrin_frags)
  foreach(_frag IN LISTS _tavrin_frags)
    include(${_frag})
  endforeach()
endmacro()
