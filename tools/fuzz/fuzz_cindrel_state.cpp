// The 6502 console's state file, loaded into a machine running the input's
// cartridge (FuzzSupport.h): the CPU record, the hardware block's page
// positions, the sound unit's record and the mapper's register bytes
// through its validator, for whichever mapper the image names. A refused
// state leaves the machine as it was; an accepted one saves back to bytes
// that load again and save the same; then two frames run from it.
#include "tools/fuzz/CindrelFuzz.h"

using namespace Fuzz::NesMachine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::MachineInput input = Fuzz::SplitMachineInput(data, size);
    if (!Start(Fuzz::WriteInputFile("game.nes", input.image)))
        return 0;
    const std::vector<uint8_t> before = StateBytes();
    std::string reason;
    if (!LoadStateBytes(input.file, "input", &reason)) {
        FUZZ_CHECK(!reason.empty());
        FUZZ_CHECK(StateBytes() == before);
    } else {
        const std::vector<uint8_t> saved = StateBytes();
        FUZZ_CHECK(LoadStateBytes(saved, "again") == 1);
        FUZZ_CHECK(StateBytes() == saved);
    }
    RunFrames(2);
    MachineShutdown();
    return 0;
}
