# velkaro_module(<name> DIR <folder> DEPS <libs...>)
# Builds static library velkaro_<name> from the .cpp files of one source folder.
# New files are picked up at build time (CONFIGURE_DEPENDS).
function(velkaro_module name)
  cmake_parse_arguments(M "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${M_DIR}/*.cpp)
  set(target velkaro_${name})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} PUBLIC ${M_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${M_DEPS})
  endif()
endfunction()

# velkaro_test_environment(<target> [VAR=value ...]): the environment every test of the
# GoogleTest executable runs in (and its test list is read in): the test data, the
# source and build folders, and the fonts of tests/data/fonts.conf only, not what the
# machine has installed. The tests are started through "cmake -E env" (the target's
# emulator, which gtest_discover_tests puts before each test command): its ENVIRONMENT
# property cannot carry more than one variable through gtest_discover_tests.
function(velkaro_test_environment target)
  set(data ${CMAKE_SOURCE_DIR}/tests/data)
  set(launcher ${CMAKE_COMMAND} -E env VELKARO_TEST_DATA=${data} FONTCONFIG_FILE=${data}/fonts.conf
               VELKARO_SOURCE_DIR=${CMAKE_SOURCE_DIR} VELKARO_BINARY_DIR=${CMAKE_BINARY_DIR} ${ARGN})
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${launcher}")
endfunction()

# velkaro_test_suite(<folder> LIBS <libs...>): one GoogleTest executable per test folder.
function(velkaro_test_suite folder)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target test_${folder})
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE velkaro_testsupport ${T_LIBS} GTest::gmock GTest::gtest_main)
  velkaro_test_environment(${target})
  gtest_discover_tests(${target} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} DISCOVERY_TIMEOUT 60)
endfunction()
