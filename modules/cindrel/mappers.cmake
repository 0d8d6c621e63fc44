# The cartridge mappers: one file per board family, each adding its rows to
# the machine's mapper table.
target_sources(CindrelMachine PRIVATE
  mappers/Bandai.cpp
  mappers/Boards17And18.cpp
  mappers/DiscreteLogic.cpp
  mappers/DiskSystem.cpp
  mappers/Irem.cpp
  mappers/Mmc1.cpp
  mappers/Mmc2Mmc4.cpp
  mappers/Mmc3.cpp
  mappers/Mmc5.cpp
  mappers/Namcot.cpp
  mappers/NibbleRegisters.cpp
  mappers/SunSoft.cpp
  mappers/Taito.cpp)

if(QUINTAR_TESTS)
  add_subdirectory(mappers/tests)
endif()
