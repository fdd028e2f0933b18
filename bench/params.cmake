kvo_add_bench(params SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/params_bench.cpp LIBS kvo::params)
