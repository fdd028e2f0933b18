kvo_add_bench(limits SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/limits_bench.cpp LIBS kvo::deadband kvo::plugin_exports)
target_include_directories(kvo-bench-limits PRIVATE ${PROJECT_SOURCE_DIR}/tests)
