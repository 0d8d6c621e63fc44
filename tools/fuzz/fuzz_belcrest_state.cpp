// The Z80 consoles' state file, loaded into a machine running the input's
// cartridge (see FuzzSupport.h for the input's parts). A refused state
// leaves the machine as it was (its own state image unchanged); an accepted
// one saves back to bytes that load again and save the same; then two
// frames run from it.
#include "tools/fuzz/BelcrestFuzz.h"

using namespace Fuzz::Z80Machine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::MachineInput input = Fuzz::SplitMachineInput(data, size);
    if (!Start(Fuzz::WriteInputFile("game.img", input.image), TypeOf(input.choice)))
        return 0;
    const std::vector<uint8_t> before = StateBytes();
    const std::filesystem::path state = Fuzz::WriteInputFile("input.sta", input.file);
    std::string reason;
    if (!LoadStateFile(state.string(), &reason)) {
        FUZZ_CHECK(!reason.empty());
        FUZZ_CHECK(StateBytes() == before);
    } else {
        const std::vector<uint8_t> saved = StateBytes();
        const std::filesystem::path again = Fuzz::WriteInputFile("again.sta", saved);
        FUZZ_CHECK(LoadStateFile(again.string()) == 1);
        FUZZ_CHECK(StateBytes() == saved);
    }
    RunFrames(2);
    MachineShutdown();
    return 0;
}
