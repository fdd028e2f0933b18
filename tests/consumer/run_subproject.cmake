# Configures the subproject (which adds this tree with add_subdirectory), builds its program and runs it.
# Arguments: -DKVO_SOURCE_DIR, -DSOURCE_DIR, -DWORK_DIR, -DGENERATOR.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G ${GENERATOR}
                        -DKVO_SOURCE_DIR=${KVO_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configure failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --target consumer_subproject RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "build failed: ${rc}")
endif()
execute_process(COMMAND ${WORK_DIR}/consumer_subproject RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer_subproject failed: ${rc}")
endif()
