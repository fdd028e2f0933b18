# The MQTT bridge's throughput against a plain relay, through one broker the program starts itself.
if(KVO_MQTT)
  find_program(KVO_MOSQUITTO_PROGRAM mosquitto PATHS /usr/sbin REQUIRED)
  kvo_add_bench(mqtt SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mqtt_bench.cpp LIBS PkgConfig::KVO_MOSQUITTO)
  target_include_directories(kvo-bench-mqtt PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(kvo-bench-mqtt PRIVATE KVO_HOST_PROGRAM="$<TARGET_FILE:kvo-host>"
    KVO_MOSQUITTO_PROGRAM="${KVO_MOSQUITTO_PROGRAM}")
  add_dependencies(kvo-bench-mqtt kvo-host)
endif()
