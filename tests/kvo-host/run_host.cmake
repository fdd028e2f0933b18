# Runs kvo-host (through an emulator when given) on the prepared sample with its settings and compares the
# output with the expected rows. -DHOST= -DEMULATOR= -DDATA= -DWORK=
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${DATA}/sample.csv ${DATA}/filter.ini DESTINATION ${WORK})
execute_process(COMMAND ${EMULATOR} ${HOST} --ini filter.ini --stats --log sample.csv
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors
                INPUT_FILE ${DATA}/sample.csv TIMEOUT 100)
file(READ ${DATA}/expected.csv expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kvo-host exited with ${status}: ${errors}")
endif()
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "output differs:\n${output}\nexpected:\n${expected}")
endif()
if(NOT errors MATCHES "rows:   5 read, 3 passed, 2 dropped")
  message(FATAL_ERROR "no summary: ${errors}")
endif()

# A bad row: the rows before it are written, the message names file and line, the status is 1.
file(WRITE ${WORK}/bad.csv "time,temperature\n1,20.0\n2,\"open\n")
execute_process(COMMAND ${EMULATOR} ${HOST} --ini filter.ini bad.csv
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors
                TIMEOUT 100)
if(NOT status EQUAL 1 OR NOT errors MATCHES "bad.csv:3: unterminated quoted field"
   OR NOT output STREQUAL "time,temperature\n1,20.0\n")
  message(FATAL_ERROR "bad input: status ${status}, output '${output}', errors '${errors}'")
endif()
message(STATUS "kvo-host ok: ${errors}")
