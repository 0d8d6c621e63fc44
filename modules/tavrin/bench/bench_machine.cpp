// Frames a second of the whole machine on a cartridge that spins while an
// HBlank DMA, two timers and the line step run: the cost of the machine
// around the CPU. Prints "machine_frames: <n> frames/s".
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/TestImage.h"

#include <chrono>
#include <cstdio>

int main()
{
    using namespace Tavrin;
    TestFolder folder;
    MachineHarness machine;
    if (!machine.Start(folder.Write("bench.gba", SpinningImage(0x4000)))) {
        std::fprintf(stderr, "machine did not start\n");
        return 1;
    }
    BusWrite32(0x040000D4, 0x08000000);
    BusWrite32(0x040000D8, 0x06000000);
    BusWrite16(0x040000DC, 60);
    BusWrite16(0x040000DE, 0xA000 | 0x0200 | 0x0400 | 0x0060); // HBlank, repeat, 32-bit, reload
    BusWrite16(0x04000102, 0x0080);
    BusWrite16(0x04000106, 0x0084);
    BusWrite16(0x04000004, 0x0038);

    constexpr int Frames = 6000;
    const auto start = std::chrono::steady_clock::now();
    const int ran = machine.RunFrames(Frames);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("machine_frames: %.0f frames/s\n", ran / seconds);
    return ran == Frames ? 0 : 1;
}
