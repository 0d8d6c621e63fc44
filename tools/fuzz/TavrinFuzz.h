// What the handheld's fuzz targets share: the machine started on a file of
// the private folder through the headless harness (the real cartridge,
// files and sound generator), options from a choice byte, a clock that
// does not move, and frames that must end.
#pragma once

#include "modules/tavrin/cart/Rtc.h"
#include "modules/tavrin/files/StateFile.h"
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/machine/Machine.h"
#include "tools/fuzz/FuzzSupport.h"

namespace Fuzz::Handheld {

using namespace ::Tavrin;

inline MachineHarness &Harness()
{
    static MachineHarness *harness = new MachineHarness;
    return *harness;
}

// Choice bits: 0 the hardware guess, 1 flash of 128 KB (else 64 KB), 2 the
// 14-bit EEPROM (else 6-bit), 3 the header check.
inline bool Start(const std::filesystem::path &image, uint8_t choice, const std::string &save = std::string())
{
    HardwareGuessOn = choice & 1;
    FlashSizeExp = choice & 2 ? 17 : 16;
    EepromSizeExp = choice & 4 ? 14 : 6;
    RtcHostTime = [] { return time_t(1700000000); };
    MachineHarness::Options options;
    options.headerCheck = (choice >> 3) & 1;
    options.saveFileName = save;
    return Harness().Start(image.string(), options);
}

inline void RunFrames(int n) { FUZZ_CHECK(Harness().RunFrames(n) == n); }

// A small image that starts (its header's complement byte right): an ARM
// branch to itself at the entry.
inline std::vector<uint8_t> SpinningImage()
{
    std::vector<uint8_t> image(0x400, 0);
    const uint8_t spin[4] = {0xFE, 0xFF, 0xFF, 0xEA};
    std::copy(std::begin(spin), std::end(spin), image.begin());
    image[0xBD] = 0xE7; // 0xE7 less the sum of the (zero) header bytes
    return image;
}

} // namespace Fuzz::Handheld
