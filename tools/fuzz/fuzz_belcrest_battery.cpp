// The Z80 consoles' battery file, read when a game starts. A save of one or
// two 16 KB pages lands in the cartridge RAM; anything else leaves the RAM
// clear. The game (the input's choice of machine) runs two frames without
// touching its RAM, so the file stays byte for byte: nothing is written or
// kept aside.
#include "tools/fuzz/BelcrestFuzz.h"

#include <cstring>

using namespace Fuzz::Z80Machine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const uint8_t choice = in.u8();
    const std::vector<uint8_t> file(in.rest(), in.rest() + in.left());
    // DI; HALT: the game never touches the cartridge RAM.
    std::vector<uint8_t> rom(2 * RomPageSize, 0);
    rom[0] = 0xF3;
    rom[1] = 0x76;
    const std::filesystem::path image = Fuzz::WriteInputFile("game.img", rom);
    const std::filesystem::path battery = Fuzz::WriteInputFile("game.sav", file);
    const std::filesystem::path kept = battery.string() + ".damaged";
    std::filesystem::remove(kept);
    FUZZ_CHECK(Start(image, TypeOf(choice & 1), battery.string()));

    const bool usable = file.size() == RomPageSize || file.size() == 2 * RomPageSize;
    if (usable) {
        FUZZ_CHECK(std::memcmp(CpuSpace.get() + 0x4000, file.data(), file.size()) == 0);
        FUZZ_CHECK(CartRamPagesUsed == file.size() / RomPageSize);
    } else {
        FUZZ_CHECK(CartRamPagesUsed == 0);
    }
    FUZZ_CHECK(TakeBatteryNote().empty() == usable);
    FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == file);
    RunFrames(2);
    FUZZ_CHECK(MachineShutdown());
    FUZZ_CHECK(TakeBatteryNote().empty() && !std::filesystem::exists(kept));
    FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == file);
    return 0;
}
