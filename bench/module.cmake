kvo_add_bench(module SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/module_bench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/alloc_counter.cpp
              LIBS kvo::deadband kvo::plugin_exports)
target_include_directories(kvo-bench-module PRIVATE ${PROJECT_SOURCE_DIR}/tests)
