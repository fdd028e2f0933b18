kvo_add_bench(host SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/host_bench.cpp LIBS kvo::host_cli)
target_compile_definitions(kvo-bench-host PRIVATE KVO_DEADBAND_MODULE_PATH="$<TARGET_FILE:deadband_module>")
add_dependencies(kvo-bench-host deadband_module)
