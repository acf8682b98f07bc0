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

# velkaro_test_suite(<folder> LIBS <libs...>): one GoogleTest executable per test folder.
# The tests see only the fonts of tests/data/fonts.conf, not what the machine has installed.
function(velkaro_test_suite folder)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target test_${folder})
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE velkaro_testsupport ${T_LIBS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${target}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    PROPERTIES ENVIRONMENT "VELKARO_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR}/data;FONTCONFIG_FILE=${CMAKE_CURRENT_SOURCE_DIR}/data/fonts.conf;VELKARO_SOURCE_DIR=${CMAKE_SOURCE_DIR};VELKARO_BINARY_DIR=${CMAKE_BINARY_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()
