# Run by cpack once it has made the zip or the tarball, before it copies it
# beside the build and hashes it. CPack's archive holds what the disk says:
# the entries in the order the folder lists them, which differs from one file
# system to the next, the owner's user and group and the files' times.
# Written again, it holds only what the programs are: the same bytes whoever
# packages, wherever, whenever.
foreach(archive IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${CPACK_DM_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/paquet.py ${archive}
                  ${CPACK_DM_EPOQUE} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
