// The 6502 console's cartridge image as a user hands it over: the 16-byte
// header in its first or NES 2.0 form, a trainer, program and pattern ROM,
// plain or in a zip archive. A refused image leaves the battery file as it
// was; an accepted one runs two frames and shuts down.
#include "tools/fuzz/CindrelFuzz.h"

using namespace Fuzz::NesMachine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::filesystem::path image = Fuzz::WriteInputFile("game.nes", data, size);
    const std::vector<uint8_t> save(0x2000, 0x5A);
    const std::filesystem::path battery = Fuzz::WriteInputFile("game.sav", save);
    std::filesystem::remove(battery.string() + ".damaged");
    if (!Start(image, battery.string())) {
        FUZZ_CHECK(!CartridgeStarted);
        FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == save);
        return 0;
    }
    RunFrames(2);
    MachineShutdown();
    return 0;
}
