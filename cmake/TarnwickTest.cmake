# tarnwick_add_gtest(target sources... LIBS libs...)
# Natively every test case is its own CTest test. Under Wine each process start costs about half a
# second, so there the whole executable is one CTest test.
# TARNWICK_SOURCE_DIR gives tests the checkout (for samples/); under Wine through drive Z:, which
# Wine maps to the Linux root.
function(tarnwick_add_gtest target)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${target} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    target_compile_definitions(${target} PRIVATE TARNWICK_SOURCE_DIR="Z:${CMAKE_SOURCE_DIR}")
    add_test(NAME ${target} COMMAND ${target})
  else()
    target_compile_definitions(${target} PRIVATE TARNWICK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST)
  endif()
endfunction()
