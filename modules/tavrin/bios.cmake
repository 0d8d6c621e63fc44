# The BIOS calls build into TavrinMachine (machine.cmake); their tests here.
if(QUINTAR_TESTS)
  add_subdirectory(bios/tests)
endif()
