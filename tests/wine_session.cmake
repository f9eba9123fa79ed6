# The one Wine session every Windows test runs in (the ctest fixture "wine").
#   cmake -DACTION=start|end -DWINE=wine -DWINESERVER=wineserver -DPREFIX=dir -P wine_session.cmake
# start: makes the prefix if it is missing, starts a wineserver that stays until "end",
# and has Wine's first-start work (wineboot: the prefix update, its services) done
# before any test begins. end: stops that server and whatever still runs in it.
#
# Why: Debian's wineserver wrapper starts the server with -p0, so it shuts down the
# moment no Windows program runs. Under ctest -j2, whenever both test slots are between
# programs at once, Wine shuts down and the next test starts it again, with its first-
# start work; a test launched while the old server is still shutting down can fail
# before its program runs, at random. With one server kept for the whole run, no test
# ever starts or stops Wine.
#
# Wine's output goes to PREFIX.log, never to a pipe: the server and Wine's services
# outlive this script, and a pipe they held open would keep ctest waiting for its end.
cmake_minimum_required(VERSION 3.25)

set(log "${PREFIX}.log")
function(wine_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_FILE "${log}.step"
                  ERROR_FILE "${log}.step")
  file(READ "${log}.step" output)
  string(JOIN " " command ${ARGN})
  file(APPEND "${log}" "$ ${command}\n${output}status ${status}\n")
  file(REMOVE "${log}.step")
  set(status ${status} PARENT_SCOPE)
endfunction()
function(fail what)
  file(READ "${log}" output)
  message(FATAL_ERROR "${what}\n${output}")
endfunction()

set(ENV{WINEPREFIX} "${PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{LC_ALL} "C.UTF-8")
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=")

if(ACTION STREQUAL "end")
  # Status 1 only says no server was running.
  wine_run(${WINESERVER} -k)
  return()
endif()
if(NOT ACTION STREQUAL "start")
  message(FATAL_ERROR "ACTION must be start or end, not '${ACTION}'")
endif()

file(WRITE "${log}" "")

# The build makes the prefix; this makes it again after it was deleted.
if(NOT EXISTS "${PREFIX}/system.reg")
  wine_run(${WINE} wineboot --init)
  if(NOT status EQUAL 0)
    fail("wineboot --init could not make the prefix ${PREFIX} (status ${status})")
  endif()
endif()

# -p after the wrapper's -p0: no end until "end". Status 2: a server of this prefix
# still runs (one shutting down after the build listed the tests, or one a stopped
# run left): end it, wait for its end, and start ours.
foreach(attempt RANGE 1 5)
  wine_run(${WINESERVER} -p)
  if(status EQUAL 0)
    break()
  endif()
  wine_run(${WINESERVER} -k)
  wine_run(${WINESERVER} -w)
endforeach()
if(NOT status EQUAL 0)
  fail("could not start a lasting wineserver for ${PREFIX} (status ${status})")
endif()

wine_run(${WINE} wineboot --init)
if(NOT status EQUAL 0)
  fail("Wine's first start in ${PREFIX} failed (status ${status})")
endif()
message(STATUS "one wineserver serves the tests in ${PREFIX}")
