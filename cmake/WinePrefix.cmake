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
endif()
# The pinned dialog font and its links (tools/wine-fonts.sh), once per prefix; a prefix made
# before the pin gets it on its next run. Bump the stamp's number when the script changes.
set(fonts_stamp ${PREFIX}/zx-fonts-2)
if(NOT EXISTS ${fonts_stamp})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${PREFIX} WINEDEBUG=-all
                          "WINEDLLOVERRIDES=mscoree,mshtml="
                          sh ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-fonts.sh
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pinning the prefix's dialog font failed: ${rc}")
  endif()
  file(TOUCH ${fonts_stamp})
endif()
# A persistent server saves every test the start-up of a new one; cleanup stops it.
# Its output goes to /dev/null, not to a pipe that the daemon would hold open.
execute_process(COMMAND sh -c "WINEPREFIX='${PREFIX}' wineserver -p >/dev/null 2>&1 </dev/null")
# The session's first wine process starts the prefix's services (winedevice), which would keep
# the first test's output pipe open and make ctest wait for it: start them here, detached.
execute_process(COMMAND sh -c "WINEPREFIX='${PREFIX}' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' wine cmd.exe /c exit >/dev/null 2>&1 </dev/null")
