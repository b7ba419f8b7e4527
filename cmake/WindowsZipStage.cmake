# Run by cpack on the staged files of the Windows zip: only the program, the README and
# the licence go in.
file(REMOVE_RECURSE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/share")
