kvo_add_bench(module SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/module_bench.cpp LIBS kvo::deadband kvo::plugin_exports)
