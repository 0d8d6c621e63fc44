# The cartridge: header and save-hardware guess, EEPROM, flash and clock.
# It defines the device hooks the bus calls (bus/BusDevices.h) and the
# cartridge calls of the machine (machine/CartridgeServices.h). Objects,
# not an archive, so the hooks are always linked in; whatever links them
# links the machine as well.
add_library(TavrinCart OBJECT
  cart/CartHeader.cpp
  cart/HardwareGuess.cpp
  cart/Eeprom.cpp
  cart/Flash.cpp
  cart/Rtc.cpp)
target_link_libraries(TavrinCart PUBLIC TavrinMachineLinked Zorvan)

# What the cartridge's and the files' tests link: the whole machine under
# the harness (CMakeLists.txt).
set(TAVRIN_CART_TEST_LIBS ${TAVRIN_MACHINE_TEST_LIBS})

if(QUINTAR_TESTS)
  add_subdirectory(cart/tests)
endif()
