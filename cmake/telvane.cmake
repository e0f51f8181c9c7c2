# Helpers shared by every component.

# telvane_test(NAME SOURCES... [LIBS libs...] [LABELS labels...])
# A GoogleTest executable registered with CTest, test by test.
function(telvane_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(TELVANE_FUZZ)
    return()
  endif()
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  # One label string, matched by ctest -L as a regular expression.
  string(REPLACE ";" "," labels "${T_LABELS}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${labels}")
  # Label asan / tsan: the test also runs in that sanitizer pass of CI.
  foreach(label IN LISTS T_LABELS)
    set_property(GLOBAL APPEND PROPERTY TELVANE_TESTS_${label} ${name})
  endforeach()
endfunction()

# Called once at the end of the top-level build: one target per sanitizer
# pass that builds just the test programs that pass runs.
function(telvane_sanitizer_targets)
  foreach(label asan tsan)
    get_property(tests GLOBAL PROPERTY TELVANE_TESTS_${label})
    add_custom_target(${label}_tests)
    if(tests)
      add_dependencies(${label}_tests ${tests})
    endif()
  endforeach()
  get_property(fuzzers GLOBAL PROPERTY TELVANE_FUZZERS)
  add_custom_target(fuzzers)
  if(fuzzers)
    add_dependencies(fuzzers ${fuzzers})
  endif()
endfunction()

# telvane_fuzzer(NAME SOURCE LIBS...): a libFuzzer target, built only with TELVANE_FUZZ.
function(telvane_fuzzer name source)
  if(NOT TELVANE_FUZZ)
    return()
  endif()
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY TELVANE_FUZZERS ${name})
endfunction()

# telvane_benchmark(NAME SOURCES... LIBS libs...): a Google Benchmark program (not a test).
function(telvane_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TELVANE_BENCH OR TELVANE_FUZZ OR NOT TELVANE_SANITIZE STREQUAL "")
    return()
  endif()
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    return()
  endif()
  add_executable(${name} ${B_SOURCES} ${B_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
endfunction()
