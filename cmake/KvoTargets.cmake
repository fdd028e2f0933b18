# Shared compile settings for every target of the project.
add_library(kvo_warnings INTERFACE)
target_compile_options(kvo_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wcast-align -Wformat=2 -Wundef
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>
  $<$<BOOL:${KVO_WERROR}>:-Werror>)

# kvo_add_library(<subsystem> SOURCES ... [DEPS ...]) makes the static library kvo_<subsystem>
# with the alias kvo::<subsystem>; private headers are found from src/.
function(kvo_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(kvo_${name} STATIC ${ARG_SOURCES})
  add_library(kvo::${name} ALIAS kvo_${name})
  target_include_directories(kvo_${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(kvo_${name} PUBLIC ${ARG_DEPS} PRIVATE $<BUILD_INTERFACE:kvo_warnings>)
  set_target_properties(kvo_${name} PROPERTIES EXPORT_NAME ${name})
endfunction()
