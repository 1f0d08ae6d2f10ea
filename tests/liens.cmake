# Checks what an executable loads: exactly the libraries in ATTENDU.
#   cmake -DOUTIL="readelf;-d" -DEXE=... -DATTENDU="libc.so.6" [-DFORME=regex;...] -P liens.cmake
# FORME: patterns the tool's output must also match (file format, subsystem).
execute_process(COMMAND ${OUTIL} ${EXE} OUTPUT_VARIABLE sortie COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "(DLL Name: |Shared library: \\[)[^]\n]+" noms "${sortie}")
list(TRANSFORM noms REPLACE "^.*(: |\\[)" "")
list(SORT noms)
if(NOT noms STREQUAL ATTENDU)
  message(FATAL_ERROR "${EXE} loads '${noms}', not '${ATTENDU}'")
endif()
foreach(f IN LISTS FORME)
  if(NOT sortie MATCHES "${f}")
    message(FATAL_ERROR "${EXE}: no '${f}' in:\n${sortie}")
  endif()
endforeach()
message(STATUS "${EXE} loads ${noms}")
