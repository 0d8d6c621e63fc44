// The handheld's state file, loaded into a machine running the input's
// cartridge under the input's options (FuzzSupport.h, TavrinFuzz.h); the
// state part is the inflated image, gzipped here as the writer does, so the
// fuzzer works on the fields and not on the compressed stream (the image
// and battery targets feed the inflater itself). A refused state leaves
// the machine as it was; an accepted one saves back to an image that loads
// again and saves the same; then two frames run from it.
#include "modules/tavrin/files/GzipImage.h"
#include "tools/fuzz/TavrinFuzz.h"

using namespace Fuzz::Handheld;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Fuzz::MachineInput input = Fuzz::SplitMachineInput(data, size);
    if (!Start(Fuzz::WriteInputFile("game.img", input.image), input.choice))
        return 0;
    const std::vector<uint8_t> before = StateImage();
    std::vector<uint8_t> gz;
    FUZZ_CHECK(GzipBytes(input.file, gz));
    const std::filesystem::path state = Fuzz::WriteInputFile("input.st", gz);
    if (!LoadStateFile(state.string().c_str())) {
        FUZZ_CHECK(StateImage() == before);
    } else {
        const std::vector<uint8_t> saved = StateImage();
        FUZZ_CHECK(LoadStateImage(saved, "again") == 1);
        FUZZ_CHECK(StateImage() == saved);
    }
    RunFrames(2);
    Harness().Stop();
    return 0;
}
