# cmake -DPROGRAM=path -P check_no_qt.cmake: fails when the program loads a
# Qt library at run time.
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libs RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ldd ${PROGRAM} failed")
endif()
if(libs MATCHES "libQt")
  message(FATAL_ERROR "${PROGRAM} loads Qt:\n${libs}")
endif()
message(STATUS "${PROGRAM} loads no Qt")
