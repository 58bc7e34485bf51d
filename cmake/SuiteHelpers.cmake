# Small helpers shared by every subsystem's CMakeLists.

# suite_add_gtest(<name> SOURCES ... LIBS ... [PROPERTIES <name> <value> ...])
# A GoogleTest executable whose cases are registered with CTest one by one.
# PROPERTIES are set on every registered case (for example RESOURCE_LOCK).
function(suite_add_gtest name)
  if(SUITE_FUZZ)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} suite_test_support GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 600 ${T_PROPERTIES})
endfunction()

# suite_add_fuzzer(<name> SOURCE <file> LIBS ... CORPUS <dir>)
# In a fuzz build: a libFuzzer binary. In every other build: the same harness
# linked with a replay main that runs the seed corpus as a CTest case.
function(suite_add_fuzzer name)
  cmake_parse_arguments(F "" "SOURCE;CORPUS" "LIBS" ${ARGN})
  if(SUITE_FUZZ)
    add_executable(${name} ${F_SOURCE})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name}_replay ${F_SOURCE} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(${name}_replay PRIVATE ${F_LIBS})
    add_test(NAME fuzz_replay.${name} COMMAND ${name}_replay ${F_CORPUS})
    set_tests_properties(fuzz_replay.${name} PROPERTIES TIMEOUT 600)
  endif()
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt, in
# name order: fuzz/, bench/, tools/ and tests/e2e/ hold one per subsystem.
function(suite_add_subfolders)
  file(GLOB _parts LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _parts)
  foreach(part IN LISTS _parts)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${part}/CMakeLists.txt)
      add_subdirectory(${part})
    endif()
  endforeach()
endfunction()
