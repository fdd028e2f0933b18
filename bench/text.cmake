kvo_add_bench(text SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/text_bench.cpp LIBS kvo::text)
