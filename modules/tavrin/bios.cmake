# The BIOS calls build into TavrinMachine (machine.cmake); their tests here.
if(QUINTAR_TESTS AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/bios/tests/CMakeLists.txt)
  add_subdirectory(bios/tests)
endif()
