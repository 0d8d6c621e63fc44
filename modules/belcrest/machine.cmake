# The Z80 consoles' machine: memory map and frame loop, ports, ROM loading,
# state, battery and disk files. The display processor (vdp.cmake) joins the
# same library. The module supplies the PSG, FM unit, pads and video hooks of
# machine/MachineHooks.h; tests link testing/'s stand-ins instead.
add_library(BelcrestMachine STATIC
  machine/Machine.cpp
  machine/MemoryMap.cpp
  machine/Ports.cpp
  machine/LineStep.cpp
  machine/RomLoader.cpp
  machine/BatteryFile.cpp
  machine/StateFile.cpp
  machine/Sf7000Disk.cpp)
target_include_directories(BelcrestMachine PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(BelcrestMachine PUBLIC BelcrestCore ConsoleFiles SoundDriver ZorvanEngine Zorvan ZLIB::ZLIB)

if(QUINTAR_TESTS)
  add_subdirectory(machine/tests)
endif()
