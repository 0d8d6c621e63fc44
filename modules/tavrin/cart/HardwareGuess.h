// Which save hardware a cartridge carries, guessed from its game code: the
// flash chip ID to report and the size of the flash or the EEPROM's address
// width. The guess only sets the option words that the device resets and
// start-up's allocations read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modules/tavrin/machine/CartridgeServices.h"

namespace Tavrin {

struct HardwareGuessRow {
    const char *pattern; // four characters, '?' matches any; null ends the table
    uint16_t flashId;
    uint16_t sizeExp;
};
extern const HardwareGuessRow HardwareGuessTable[10];

// Starts from the option defaults, so nothing an earlier cartridge set
// stays, then applies the first row that matches the game code. An image
// that matches no row but names the 128 KB flash chip gets its ID, so the
// game can switch banks. Returns 1 when a row or the chip name matched.
// The one-argument form (machine/CartridgeServices.h) searches the
// running machine's cartridge image.
int GuessHardware(uint32_t gameCode, const uint8_t *image, size_t size);

} // namespace Tavrin
