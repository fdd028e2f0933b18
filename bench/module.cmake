kvo_add_bench(module SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/module_bench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/alloc_counter.cpp
              LIBS kvo::deadband kvo::plugin_exports kvo::host_static)
target_include_directories(kvo-bench-module PRIVATE ${PROJECT_SOURCE_DIR}/tests)

# Not a Google Benchmark program: a fixed block count for callgrind (see the comment at its top).
add_executable(kvo-w1-driver ${CMAKE_CURRENT_SOURCE_DIR}/w1_driver.cpp)
target_link_libraries(kvo-w1-driver PRIVATE kvo::deadband kvo::plugin_exports kvo::host_static kvo_warnings)
target_include_directories(kvo-w1-driver PRIVATE ${PROJECT_SOURCE_DIR}/tests)
