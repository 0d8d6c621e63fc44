# The 6502 machine: memory map and frame loop, picture-processor registers,
# cartridge start, state and battery files, mapper framework. It calls the
# module's sound unit, renderers, video and input (machine/ModuleParts.h);
# the machine's own tests link CindrelModuleStandIns, which records what
# reaches them.
add_library(CindrelMachine STATIC
  machine/MemoryMap.cpp
  machine/LineStep.cpp
  machine/PpuRegisters.cpp
  machine/CartridgeStart.cpp
  machine/BatteryFile.cpp
  machine/StateFile.cpp
  machine/MapperFramework.cpp
  machine/MapperTable.cpp)
target_include_directories(CindrelMachine PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(CindrelMachine PUBLIC CindrelCore ConsoleFiles Zorvan ZorvanEngine SoundDriver ZLIB::ZLIB)

# Objects, not an archive, so every stand-in is linked in. The sound unit's
# record is the real one, so state files read in these tests are checked as
# the module checks them.
add_library(CindrelModuleStandIns OBJECT testing/ModuleStandIns.cpp testing/SoundStandIn.cpp
  sound/SoundUnitImage.cpp)
target_link_libraries(CindrelModuleStandIns PUBLIC CindrelMachine)
# The same stand-ins around the real sound unit, for the public programs
# that time themselves by it.
add_library(CindrelStandInsWithSound OBJECT testing/ModuleStandIns.cpp sound/SoundUnit.cpp
  sound/FrameSequencer.cpp sound/DeltaChannel.cpp sound/SoundUnitImage.cpp)
target_link_libraries(CindrelStandInsWithSound PUBLIC CindrelMachine)

if(QUINTAR_TESTS)
  add_subdirectory(machine/tests)
endif()
