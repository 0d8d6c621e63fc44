// The Z80 consoles' cartridge image as a user hands it over: plain, behind
// a copier's 512-byte header, or in a zip archive; the choice byte picks
// the machine. A refused image leaves the battery file as it was; an
// accepted one runs two frames and shuts down, writing its battery.
#include "tools/fuzz/BelcrestFuzz.h"

using namespace Fuzz::Z80Machine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const uint8_t choice = in.u8();
    const std::filesystem::path image = Fuzz::WriteInputFile("game.img", in.rest(), in.left());
    const std::filesystem::path battery = Fuzz::PrivateFolder() / "game.sav";
    const std::vector<uint8_t> save(0x4000, 0xA5);
    Fuzz::WriteInputFile("game.sav", save);
    if (!Start(image, TypeOf(choice), battery.string())) {
        FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == save);
        return 0;
    }
    FUZZ_CHECK(RomPageCount >= 1 && RomPageCount <= MaxRomPages);
    RunFrames(2);
    FUZZ_CHECK(MachineShutdown());
    return 0;
}
