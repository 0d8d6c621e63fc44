// The 6502 console's battery file for a board with 8-32 KB of work RAM
// (choice bits 0-1). A file of the RAM's size loads, and so does one with a
// 16-byte header in front of it; any other leaves the RAM clear. A game that
// leaves its RAM alone leaves the file as it was; one that writes (choice
// bit 2) has its RAM saved at shutdown, a file that was not a save of ours
// kept aside byte for byte first, a save that loaded kept as ".bak".
#include "modules/cindrel/machine/BatteryFile.h"
#include "modules/cindrel/testing/CartridgeBuilder.h"
#include "tools/fuzz/CindrelFuzz.h"

#include <algorithm>

using namespace Fuzz::NesMachine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const uint8_t choice = in.u8();
    const uint8_t ramPages = uint8_t(1 + (choice & 3));
    const bool writes = choice & 4;
    const std::vector<uint8_t> file(in.rest(), in.rest() + in.left());
    const size_t ram = size_t(ramPages) * 0x2000;
    // Mapper 1 with its RAM pages; the program spins at $C000, after
    // INC $6000 for the game that writes.
    static std::vector<uint8_t> games[8];
    std::vector<uint8_t> &game = games[choice & 7];
    if (game.empty()) {
        Test::CartridgeBuilder cart(2, 1);
        cart.Mapper(1).Battery().RamPages(ramPages).Vectors(0xC000, 0xC000, 0xC000);
        if (writes)
            cart.Code(0xC000, {0xEE, 0x00, 0x60, 0x4C, 0x03, 0xC0});
        else
            cart.Code(0xC000, {0x4C, 0x00, 0xC0});
        game = cart.Bytes();
    }
    const std::filesystem::path image = Fuzz::WriteInputFile("game.nes", game);
    const std::filesystem::path battery = Fuzz::WriteInputFile("game.sav", file);
    const std::string kept = battery.string() + ".damaged", backup = battery.string() + ".bak";
    std::filesystem::remove(kept);
    std::filesystem::remove(backup);
    FUZZ_CHECK(Start(image, battery.string()));
    FUZZ_CHECK(Cartridge.battery && size_t(Cartridge.ramPages) * 0x2000 == ram);

    const bool whole = file.size() == ram || file.size() == ram + 16;
    const size_t skipped = file.size() == ram + 16 ? 16 : 0;
    const size_t loaded = whole ? ram : 0;
    FUZZ_CHECK(std::equal(file.begin() + skipped, file.begin() + skipped + loaded, CpuSpace + 0x6000));
    FUZZ_CHECK(TakeBatteryNote().empty() == whole);
    FUZZ_CHECK(std::all_of(CpuSpace + 0x6000 + loaded, CpuSpace + 0x6000 + ram, [](uint8_t b) { return b == 0; }));
    RunFrames(2);
    FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == file);
    const std::vector<uint8_t> held(CpuSpace + 0x6000, CpuSpace + 0x6000 + ram);
    MachineShutdown();
    const std::string note = TakeBatteryNote();
    if (!writes) {
        FUZZ_CHECK(note.empty() && !std::filesystem::exists(kept) && !std::filesystem::exists(backup));
        FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == file);
    } else {
        FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == held);
        if (whole)
            FUZZ_CHECK(note.empty() && !std::filesystem::exists(kept) && Fuzz::ReadWholeFile(backup) == file);
        else
            FUZZ_CHECK(note.find(kept) != std::string::npos && Fuzz::ReadWholeFile(kept) == file);
    }
    return 0;
}
