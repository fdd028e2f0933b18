# Installs the build tree into a scratch prefix, then configures, builds and runs the consumer project
# against it. Arguments: -DBUILD_DIR, -DSOURCE_DIR, -DWORK_DIR, -DGENERATOR, -DC_FLAGS, -DLINK_FLAGS.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
# The internal libraries are no part of what a host gets.
file(GLOB _internal ${WORK_DIR}/prefix/lib/libkvo_*)
if(_internal)
  message(FATAL_ERROR "internal libraries installed: ${_internal}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
                        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix "-DCMAKE_C_FLAGS=${C_FLAGS}"
                        "-DCMAKE_CXX_FLAGS=${C_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}"
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configure failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "build failed: ${rc}")
endif()
foreach(program consumer_shared consumer_static consumer_pkgconfig)
  # pkg-config links by -L/-l without a run path, as a plain Makefile would.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${WORK_DIR}/prefix/lib
                          ${WORK_DIR}/build/${program} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "${program} failed: ${rc}")
  endif()
endforeach()
