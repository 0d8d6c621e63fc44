# The cartridge mappers: one file per board family, each adding its rows to
# the machine's mapper table.
target_sources(CindrelMachine PRIVATE
  mappers/DiscreteLogic.cpp
  mappers/Mmc1.cpp
  mappers/Mmc2Mmc4.cpp
  mappers/Mmc3.cpp
  mappers/NibbleRegisters.cpp
  mappers/SunSoft.cpp)

if(QUINTAR_TESTS)
  add_subdirectory(mappers/tests)
endif()
