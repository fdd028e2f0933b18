kvo_add_bench(deadband SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/deadband_bench.cpp ${CMAKE_CURRENT_SOURCE_DIR}/alloc_counter.cpp
              LIBS kvo::deadband_engine)
