# Run by cpack once it has made the zip, before it copies it beside the build
# and hashes it. CPack's zip holds what the disk says: the entries in the
# order the folder lists them, which differs from one file system to the
# next, and the owner's user and group. Written again, it holds only what
# the programs are: the same bytes whoever packages, wherever, whenever.
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${CPACK_DM_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/zip.py ${zip} ${CPACK_DM_EPOQUE}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
