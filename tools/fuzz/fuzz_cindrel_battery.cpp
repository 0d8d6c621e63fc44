// The 6502 console's battery file for a board with 8-32 KB of work RAM
// (choice byte). A file of the RAM's size loads and, the game leaving the
// RAM alone, is written back as it was; any other is loaded as far as it
// goes (past a 16-byte header in front of the right size) and kept aside
// as "<name>.damaged" byte for byte before the shutdown writes the RAM.
#include "modules/cindrel/machine/BatteryFile.h"
#include "modules/cindrel/machine/tests/support/CartridgeBuilder.h"
#include "tools/fuzz/CindrelFuzz.h"

#include <algorithm>

using namespace Fuzz::NesMachine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const uint8_t ramPages = uint8_t(1 + (in.u8() & 3));
    const std::vector<uint8_t> file(in.rest(), in.rest() + in.left());
    const size_t ram = size_t(ramPages) * 0x2000;
    // Mapper 1 with its RAM pages; the program spins at $C000.
    static std::vector<uint8_t> games[5];
    if (games[ramPages].empty())
        games[ramPages] = Test::CartridgeBuilder(2, 1)
                              .Mapper(1)
                              .Battery()
                              .RamPages(ramPages)
                              .Code(0xC000, {0x4C, 0x00, 0xC0})
                              .Vectors(0xC000, 0xC000, 0xC000)
                              .Bytes();
    const std::filesystem::path image = Fuzz::WriteInputFile("game.nes", games[ramPages]);
    const std::filesystem::path battery = Fuzz::WriteInputFile("game.sav", file);
    const std::string kept = battery.string() + ".damaged";
    std::filesystem::remove(kept);
    FUZZ_CHECK(Start(image, battery.string()));
    FUZZ_CHECK(Cartridge.battery && size_t(Cartridge.ramPages) * 0x2000 == ram);

    const size_t skipped = file.size() == ram + 16 ? 16 : 0;
    const size_t loaded = std::min(file.size() - skipped, ram);
    FUZZ_CHECK(std::equal(file.begin() + skipped, file.begin() + skipped + loaded, CpuSpace + 0x6000));
    FUZZ_CHECK(std::all_of(CpuSpace + 0x6000 + loaded, CpuSpace + 0x6000 + ram, [](uint8_t b) { return b == 0; }));
    if (file.size() == ram) {
        FUZZ_CHECK(BatteryKeptAs.empty());
    } else {
        FUZZ_CHECK(BatteryKeptAs == kept && Fuzz::ReadWholeFile(kept) == file);
    }
    const std::vector<uint8_t> held(CpuSpace + 0x6000, CpuSpace + 0x6000 + ram);
    RunFrames(2);
    MachineShutdown();
    FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == held);
    return 0;
}
