# Shared build helpers.

# The folder of the public test programs, when it is there.
set(QUINTAR_TESTROMS_DEFAULT "${CMAKE_SOURCE_DIR}/../shared/testroms")

# quintar_add_gtest(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT <s>])
# Builds one GoogleTest program and registers each of its tests with ctest.
# Tests run headless (offscreen Qt, SDL's dummy audio driver) unless the
# environment says otherwise.
function(quintar_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tools/testsupport/HeadlessEnvironment.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    INSTALL_RPATH "$ORIGIN/../bin")
  target_compile_definitions(${name} PRIVATE QUINTAR_TESTROMS_DEFAULT="${QUINTAR_TESTROMS_DEFAULT}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(props TIMEOUT ${T_TIMEOUT})
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# quintar_module_output(<target>): put a module plug-in in bin/ZorvanModules.
function(quintar_module_output target)
  set_target_properties(${target} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${QUINTAR_MODULE_DIR}
    INSTALL_RPATH "$ORIGIN/..:$ORIGIN")
endfunction()
