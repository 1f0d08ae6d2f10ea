# The time stamped into everything a build makes for players, in seconds
# since 1970: so that any clean clone of a commit gives the same bytes, it is
# the commit's time, never the clock's. A SOURCE_DATE_EPOCH set by whoever
# packages comes first; without git (a source tarball), a fixed time.
set(epoque "$ENV{SOURCE_DATE_EPOCH}")
if(NOT epoque)
  set(epoque 1767225600) # 2026-01-01 00:00:00 UTC
  find_package(Git QUIET)
  if(GIT_FOUND)
    # Only from this project's own repository, not from one it was unpacked in.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel --git-path logs/HEAD
      WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} RESULT_VARIABLE r
      OUTPUT_VARIABLE lignes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(r EQUAL 0)
      string(REPLACE "\n" ";" lignes "${lignes}")
      list(GET lignes 0 racine)
      list(GET lignes 1 journal)
      file(REAL_PATH ${racine} racine)
      file(REAL_PATH ${CMAKE_CURRENT_SOURCE_DIR} ici)
    endif()
    if(r EQUAL 0 AND racine STREQUAL ici)
      execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
        WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} OUTPUT_VARIABLE t
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(t MATCHES "^[0-9]+$")
        set(epoque ${t})
      endif()
      # A new commit, or another one checked out, configures again.
      file(REAL_PATH ${journal} journal BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
      if(EXISTS ${journal})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${journal})
      endif()
    endif()
  endif()
endif()
