// Frames per second of the machine and the 32-bit renderers, every frame
// drawn, sound and pads idle. Prints "<image>: <value> frames/s" per image.
//
//   bench_belcrest_machine [--frames N] IMAGE...   (default: the public
//   Master System programs, when they are found)
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "tools/testsupport/TestRoms.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace Belcrest {

void PsgReset(int) {}
void PsgWrite(uint8_t) {}
void PsgSync(int) {}
void FmReset(int) {}
void FmSelectRegister(uint8_t) {}
void FmWriteData(uint8_t) {}
void FmSync(int) {}
uint32_t ReadPadState() { return 0; }
void RefreshScreen() {}
void SetPaletteColor(int index, int r, int g, int b)
{
    if (index >= 0 && index < VdpColourCount)
        VdpColorTable.c32[index] = uint32_t(r << 16 | g << 8 | b);
}

} // namespace Belcrest

using namespace Belcrest;

namespace {

// The one line printed instead of figures when there is nothing to time.
int SayWhatItNeeds(const char *why)
{
    std::printf("bench_belcrest_machine: %s; it needs [--frames N] IMAGE... (Master System or Game Gear images), or "
                "the public test programs in QUINTAR_TESTROMS or ../shared/testroms\n",
                why);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    int frames = 20000;
    std::vector<std::string> images;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0) {
            frames = i + 1 < argc ? std::atoi(argv[++i]) : 0;
            if (frames < 1)
                return SayWhatItNeeds("--frames wants a number of frames above 0");
        } else {
            images.push_back(argv[i]);
        }
    }
    if (images.empty()) {
        const std::string folder = QuintarTest::TestRomFolder();
        for (const char *name : {"HelloWorld", "SMSAudio", "Sprite"}) {
            const std::string image = folder + "/sms/" + name + ".sms";
            if (!folder.empty() && std::filesystem::is_regular_file(image))
                images.push_back(image);
        }
        if (images.empty())
            return SayWhatItNeeds("no image was given and the public test programs were not found");
    }

    std::vector<uint32_t> surface(size_t(VdpSurfaceWidth) * VdpSurfaceHeight);
    VdpFrameBuffer = surface.data();
    VdpInstallRenderers(32);
    VerboseFlags = 0;
    int status = 0;
    for (const std::string &image : images) {
        const std::string name = std::filesystem::path(image).stem().string();
        std::string lower = image;
        for (char &c : lower)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        MachineWord = lower.size() > 3 && lower.compare(lower.size() - 3, 3, ".gg") == 0 ? MachineGameGear
                                                                                         : MachineMasterSystem;
        FrameSkip = 1;
        if (!MachineStart(image)) {
            std::fprintf(stderr, "%s: does not start\n", name.c_str());
            status = 1;
            continue;
        }
        MachineRunFrame();
        const auto start = std::chrono::steady_clock::now();
        for (int f = 0; f < frames; ++f)
            MachineRunFrame();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %.0f frames/s\n", name.c_str(), frames / seconds);
        MachineShutdown();
    }
    return status;
}
