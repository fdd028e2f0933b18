kvo_add_bench(platform SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform_bench.cpp LIBS kvo::platform)
