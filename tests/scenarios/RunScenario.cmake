# Runs one scenario: fresh players in WORK_DIR/players, the driver on SCRIPT from WORK_DIR with
# only the drives the script maps and in-memory desktop settings, then compares its output with
# EXPECTED. With -DUPDATE=ON the output is written to EXPECTED instead (review the diff!).
# -DDRIVER_ENV=NAME=VALUE;... adds to the driver's environment (the Qt driver's platform).
# -DLAUNCHER="PROGRAM ARGS" runs the players' maker and the driver through PROGRAM (Wine for the
# Windows executables). SCHEMA_DIR may be left out where there are no desktop settings.
# -DWINE_KILL_AT_EXIT_OK=ON takes a driver the Wine server killed after its exit line as having
# ended with the code that line gives.
foreach(var DRIVER PLAYERS SCRIPT EXPECTED WORK_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "RunScenario.cmake needs -D${var}=...")
    endif()
endforeach()
set(launcher)
if(DEFINED LAUNCHER)
    separate_arguments(launcher UNIX_COMMAND "${LAUNCHER}")
endif()
set(settings_env)
if(DEFINED SCHEMA_DIR)
    set(settings_env GSETTINGS_BACKEND=memory GSETTINGS_SCHEMA_DIR=${SCHEMA_DIR})
endif()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${launcher} ${PLAYERS} ${WORK_DIR}/players RESULT_VARIABLE players_result)
if(NOT players_result EQUAL 0)
    message(FATAL_ERROR "make-scenario-players failed: ${players_result}")
endif()

execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${settings_env} KESTRUM_DRIVES= ${DRIVER_ENV} ${launcher}
        ${DRIVER} ${SCRIPT}
    WORKING_DIRECTORY ${WORK_DIR}
    OUTPUT_VARIABLE actual
    ERROR_VARIABLE errors
    RESULT_VARIABLE result
    TIMEOUT 100)
file(WRITE ${WORK_DIR}/actual.txt "${actual}")

if(UPDATE)
    file(WRITE ${EXPECTED} "${actual}")
    message(STATUS "updated ${EXPECTED}")
    return()
endif()

file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
    execute_process(COMMAND diff -u ${EXPECTED} ${WORK_DIR}/actual.txt OUTPUT_VARIABLE difference)
    message(FATAL_ERROR "output differs from ${EXPECTED}:\n${difference}\nstderr:\n${errors}")
endif()
# The process's own exit code must be the one it printed last.
string(REGEX MATCH "exit (-?[0-9]+)\n$" last_exit "${actual}")
set(printed_exit "${CMAKE_MATCH_1}")
# Under Wine, a process ended from a second thread while its window thread is busy is at times
# still tearing down its Unix side a second after its last thread ended, and the Wine server
# then kills it (SIGKILL, which "cmake -E env" reports as below and as code 1). The printed exit
# line shows it got that far; its code is what Windows would have returned.
if(WINE_KILL_AT_EXIT_OK AND last_exit AND result STREQUAL "1"
   AND errors MATCHES "Subprocess killed\n?$")
    message(STATUS "killed by the Wine server after its exit line; taken as exit ${printed_exit}")
    set(result "${printed_exit}")
endif()
if(NOT last_exit OR NOT printed_exit STREQUAL result)
    message(FATAL_ERROR "exit code ${result} does not match the output\nstderr:\n${errors}")
endif()
if(errors MATCHES "Sanitizer|runtime error")
    message(FATAL_ERROR "sanitizer report:\n${errors}")
endif()
