kvo_add_bench(deadband SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/deadband_bench.cpp LIBS kvo::deadband_engine)
