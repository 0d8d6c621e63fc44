// Frames per second of the machine on a loop of RAM, ROM and register
// accesses (or on a cartridge image given as the argument), with the
// recording stand-ins behind the renderers and sound. Prints
// "<name>: <number> <unit>" lines.
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/testing/CartridgeBuilder.h"
#include "modules/cindrel/testing/Harness.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

using namespace Cindrel;

int main(int argc, char **argv)
{
    std::string path;
    if (argc > 1) {
        path = argv[1];
    } else {
        // LDA $0300,X; STA $0400,X; LDA $C000,Y; ADC $10; INX; INY;
        // LDA $2002; JMP loop — reads through RAM, ROM and the I/O decoder.
        Test::CartridgeBuilder cart(2, 1);
        cart.Code(0xC000, {0xBD, 0x00, 0x03, 0x9D, 0x00, 0x04, 0xB9, 0x00, 0xC0, 0x65, 0x10, 0xE8, 0xC8, 0xAD,
                           0x02, 0x20, 0x4C, 0x00, 0xC0})
            .Code(0xC100, {0x40})
            .Vectors(0xC100, 0xC000, 0xC100);
        path = (std::filesystem::temp_directory_path() / ("bench_6502_machine_" + std::to_string(getpid()) + ".nes"))
                   .string();
        cart.Write(path);
    }
    FrameSkip = 1;
    if (!Test::StartImage(path)) {
        std::printf("bench_6502_machine: %s does not start; it needs a 6502 console image, or no argument for "
                    "its own loop\n",
                    path.c_str());
        return 1;
    }
    if (argc <= 1)
        std::filesystem::remove(path);
    const int frames = 20000;
    Test::RunFrames(60);
    const auto start = std::chrono::steady_clock::now();
    Test::RunFrames(frames);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("6502 machine frames: %.0f frames/s\n", frames / seconds);
    std::printf("6502 machine cycles: %.1f MHz\n", frames * 29780.0 / seconds / 1e6);
    MachineShutdown();
    return 0;
}
