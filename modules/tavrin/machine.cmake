# The handheld machine: start-up, scheduler, timers, DMA, sound FIFOs, I/O
# registers (machine/) and the BIOS calls (bios/), over TavrinCore.
file(GLOB TAVRIN_MACHINE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/machine/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/bios/*.cpp)
add_library(TavrinMachine STATIC ${TAVRIN_MACHINE_SOURCES})
target_include_directories(TavrinMachine PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_features(TavrinMachine PUBLIC cxx_std_20)
# The machine calls the renderer and the core, which call nothing of it (the
# core reaches the machine through the table MachineStart fills). The parts
# that call back into the machine are objects in the programs that link it
# (cartridge, files, sound generator, and the module or the harness for the
# frame and the pad).
target_link_libraries(TavrinMachine PUBLIC TavrinRender TavrinCore TavrinRenderState ConsoleFiles SoundDriver ZorvanEngine Zorvan ZLIB::ZLIB)

# Starts the machine on an image file without Qt and runs frames, with a
# video and pad of its own (testing/HeadlessHost.cpp); shared by the tests
# and tools of the machine, renderer, cartridge and files, which link
# TAVRIN_MACHINE_TEST_LIBS (CMakeLists.txt). Objects, as the machine calls
# the host's functions from an archive linked after them.
add_library(TavrinHarness OBJECT testing/MachineHarness.cpp testing/HeadlessHost.cpp)
target_include_directories(TavrinHarness PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(TavrinHarness PUBLIC TavrinMachine)

if(QUINTAR_TESTS)
  add_subdirectory(machine/tests)
endif()
