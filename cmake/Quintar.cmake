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

# quintar_check_link_names(): every name a target of the tree links that is
# neither a target nor a file nor a linker flag must be a system library
# the build knows; anything else is a target that was renamed or dropped,
# and the configure step stops with its name and the target that wants it.
set(QUINTAR_SYSTEM_LIBRARIES ${CMAKE_DL_LIBS} dl pthread m rt)

function(quintar_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    quintar_collect_targets(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(quintar_check_link_names)
  quintar_collect_targets(${CMAKE_SOURCE_DIR} targets)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(own ${target} LINK_LIBRARIES)
      if(own)
        list(APPEND links ${own})
      endif()
    endif()
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(item ${links})
      # Names inside $<LINK_ONLY:...> and $<LINK_LIBRARY:feature,...>.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
      string(REGEX REPLACE "^\\$<LINK_LIBRARY:[A-Za-z_]+,(.*)>$" "\\1" item "${item}")
      if(item MATCHES "^\\$<|^-|/|::")
        continue()
      endif()
      string(REPLACE "," ";" names "${item}")
      foreach(name ${names})
        if(NOT TARGET ${name} AND NOT name IN_LIST QUINTAR_SYSTEM_LIBRARIES)
          message(FATAL_ERROR "${target} links '${name}', which is no target of the tree")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
