# The cartridge: header and save-hardware guess, EEPROM, flash and clock.
# It defines the devices the machine plugs into the bus (cpu/ArmHooks.h)
# and the cartridge calls of the machine (machine/CartridgeServices.h), and
# reads the machine's option words. Objects, not an archive, as the machine
# calls them from an archive linked after them; whatever links them links
# the machine as well.
add_library(TavrinCart OBJECT
  cart/CartHeader.cpp
  cart/HardwareGuess.cpp
  cart/Eeprom.cpp
  cart/Flash.cpp
  cart/Rtc.cpp)
target_link_libraries(TavrinCart PUBLIC TavrinMachine Zorvan)

# What the cartridge's and the files' tests link: the whole machine under
# the harness (CMakeLists.txt).
set(TAVRIN_CART_TEST_LIBS ${TAVRIN_MACHINE_TEST_LIBS})

if(QUINTAR_TESTS)
  add_subdirectory(cart/tests)
endif()
