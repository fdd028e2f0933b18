kvo_add_bench(keyed SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/keyed_bench.cpp LIBS kvo::host_cli)
target_compile_definitions(kvo-bench-keyed PRIVATE KVO_DEADBAND_MODULE_PATH="$<TARGET_FILE:deadband_module>")
add_dependencies(kvo-bench-keyed deadband_module)
