// The handheld's battery file: SRAM or flash of 64 or 128 KB, then the
// serial EEPROM of 512 bytes or 8 KB, as a gzip stream. The input is the
// inflated file, gzipped here, or (choice bit 7) the file as it lies on
// disk. A file that loads fills save memory from its blocks; with any other
// the game starts on erased memory. The game leaves save memory alone, so
// the file stays byte for byte: nothing is written or kept aside.
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/files/BatteryFile.h"
#include "modules/tavrin/files/GzipImage.h"
#include "tools/fuzz/TavrinFuzz.h"

#include <algorithm>

using namespace Fuzz::Handheld;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const uint8_t choice = in.u8();
    const std::vector<uint8_t> raw(in.rest(), in.rest() + in.left());
    std::vector<uint8_t> file = raw;
    if (!(choice & 0x80))
        FUZZ_CHECK(GzipBytes(raw, file));
    static const std::vector<uint8_t> game = SpinningImage();
    const std::filesystem::path image = Fuzz::WriteInputFile("game.img", game);
    const std::filesystem::path battery = Fuzz::WriteInputFile("game.sav", file);
    const std::string kept = battery.string() + ".damaged";
    std::filesystem::remove(kept);
    // No guess: the options alone size the save memory.
    FUZZ_CHECK(Start(image, uint8_t(choice & 6), battery.string()));

    // A file that is not used is told at the start, and the game starts on
    // erased memory.
    if (!TakeBatteryNote().empty())
        FUZZ_CHECK(std::all_of(SaveRam, SaveRam + SaveRamSize(), [](uint8_t b) { return b == 0xFF; }));
    FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == file);
    RunFrames(2);
    Harness().Stop();
    FUZZ_CHECK(TakeBatteryNote().empty() && !std::filesystem::exists(kept));
    FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == file);
    return 0;
}
