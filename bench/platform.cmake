kvo_add_bench(platform SOURCES ${PROJECT_SOURCE_DIR}/tests/platform/platform_bench.cpp LIBS kvo::platform)
