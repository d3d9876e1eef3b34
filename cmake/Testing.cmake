# tarnlow_test(NAME SOURCES... [LIBS ...] [LABELS ...])
# LIBS defaults to tarnlow_core; a test of one part names its own library.
# A GoogleTest executable registered with ctest. Tests labelled "threads" are
# the ones the ThreadSanitizer build compiles and runs.
function(tarnlow_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  list(APPEND T_SOURCES ${T_UNPARSED_ARGUMENTS})
  if(TARNLOW_THREADED_TESTS_ONLY AND NOT "threads" IN_LIST T_LABELS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  if(NOT T_LIBS)
    set(T_LIBS tarnlow_core)
  endif()
  target_link_libraries(${name} PRIVATE tarnlow_flags
                        GTest::gtest GTest::gtest_main ${T_LIBS})
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${T_LABELS}")
endfunction()
