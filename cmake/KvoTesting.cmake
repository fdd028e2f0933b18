# Test helpers: GoogleTest from the system natively, built from Debian's sources when cross-compiling.
if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
  # Newer GoogleTest sources define these aliases themselves.
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
  if(NOT TARGET GTest::gmock)
    add_library(GTest::gmock ALIAS gmock)
  endif()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# Tests never touch the user's or the machine's registry files: a test that does not pick its own folder
# gets one in the build tree.
set(KVO_TEST_ENVIRONMENT "KVO_REGISTRY_DIR=${PROJECT_BINARY_DIR}/test-registry")

# kvo_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...]): one GoogleTest program. Natively each test case
# is its own ctest entry; under Wine the program is one entry, since discovery would boot Wine at build time.
function(kvo_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main kvo_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set(_labels)
  if(ARG_LABELS)
    set(_labels LABELS "${ARG_LABELS}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    if(ARG_LABELS)
      set_tests_properties(${name} PROPERTIES ${_labels})
    endif()
  else()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." NO_PRETTY_VALUES DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "${KVO_TEST_ENVIRONMENT}" ${_labels})
  endif()
endfunction()
