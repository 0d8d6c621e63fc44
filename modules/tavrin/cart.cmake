# The cartridge: header and save-hardware guess, EEPROM, flash and clock.
# It defines the device hooks the bus calls (bus/BusDevices.h).
add_library(TavrinCart STATIC
  cart/CartHeader.cpp
  cart/HardwareGuess.cpp
  cart/Eeprom.cpp
  cart/Flash.cpp
  cart/Rtc.cpp
  cart/PendingMachineWords.cpp)
target_link_libraries(TavrinCart PUBLIC TavrinCore Zorvan)

if(QUINTAR_TESTS)
  add_subdirectory(cart/tests)
endif()
