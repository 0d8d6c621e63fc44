// The handheld's cartridge image as a user hands it over: plain, gzip or a
// zip archive, under the options the choice byte picks (TavrinFuzz.h). A
// refused image allocates nothing that stays and leaves the battery file
// as it was; an accepted one runs two frames and shuts down.
#include "modules/tavrin/bus/MemoryBus.h"
#include "tools/fuzz/TavrinFuzz.h"

using namespace Fuzz::Handheld;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Input in(data, size);
    const uint8_t choice = in.u8();
    const std::filesystem::path image = Fuzz::WriteInputFile("game.img", in.rest(), in.left());
    const std::vector<uint8_t> save = {1, 2, 3};
    const std::filesystem::path battery = Fuzz::WriteInputFile("game.sav", save);
    std::filesystem::remove(battery.string() + ".damaged");
    if (!Start(image, choice, battery.string())) {
        FUZZ_CHECK(MachineBlocks.cart == nullptr && SaveRam == nullptr);
        FUZZ_CHECK(Fuzz::ReadWholeFile(battery) == save);
        return 0;
    }
    FUZZ_CHECK(MachineBlocks.cart != nullptr && MachineBlocks.cartSize % PageSize == 0);
    RunFrames(2);
    Harness().Stop();
    return 0;
}
