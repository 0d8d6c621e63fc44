// Stand-in for the cartridge code until it lands: save RAM that stores
// bytes, an idle EEPROM, no clock, no guess, no battery file.
#pragma once

#include <cstdint>

namespace Tavrin {

struct CartridgeStandInRecord {
    uint32_t flashResets = 0;
    uint32_t eepromResets = 0;
    uint32_t rtcResets = 0;
    uint32_t eepromDmaUnits = 0; // the last count told by a DMA
    uint32_t batteryLoads = 0;
    uint32_t batterySaves = 0;
    int loadResult = 0; // what LoadBatteryFile answers
    uint32_t guessFlashSizeExp = 0; // non-zero: the guess matches and sets FlashSizeExp
};
extern CartridgeStandInRecord CartridgeStandInLog;

} // namespace Tavrin
