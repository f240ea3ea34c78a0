# ACTION=setup creates the build tree's wine prefix once; ACTION=cleanup stops its wineserver.
if(ACTION STREQUAL "cleanup")
  # Fails harmlessly when no server is left running.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${PREFIX} wineserver -k
                  OUTPUT_QUIET ERROR_QUIET)
  return()
endif()
if(NOT EXISTS ${PREFIX}/system.reg)
  file(MAKE_DIRECTORY ${PREFIX})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${PREFIX} WINEDEBUG=-all
                          "WINEDLLOVERRIDES=mscoree,mshtml=" wineboot -i
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "wineboot -i failed: ${rc}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${PREFIX} wineserver -w)
endif()
# A persistent server saves every test the start-up of a new one; cleanup stops it.
execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${PREFIX} wineserver -p
                OUTPUT_QUIET ERROR_QUIET)
