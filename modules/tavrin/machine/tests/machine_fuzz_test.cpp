// Hostile guests: random images run for a few frames while random I/O
// stores, DMA set-ups and BIOS calls hit the machine. Nothing may fault or
// reach outside a block (the sanitizer builds check that); every call ends.
#include "modules/tavrin/testing/MachineFixture.h"

#include "modules/tavrin/cpu/ArmRun.h"

#include <random>

namespace Tavrin::Test {
namespace {

// Random words, but no software interrupts in either instruction set: the
// BIOS calls get their own bounded arguments below, and a random sprite
// count could keep one call busy for minutes.
std::vector<uint8_t> RandomImage(std::mt19937 &rng, size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i + 4 <= size; i += 4) {
        uint32_t word = rng();
        if ((word & 0x0F000000) == 0x0F000000)
            word &= ~0x01000000u;
        for (int b = 0; b < 4; ++b) {
            bytes[i + b] = uint8_t(word >> (8 * b));
            if (b % 2 && bytes[i + b] == 0xDF)
                bytes[i + b] = 0xDE;
        }
    }
    return bytes;
}

void RandomStores(std::mt19937 &rng)
{
    for (int i = 0; i < 16; ++i) {
        const uint32_t offset = rng() % 0x400;
        const uint32_t value = rng();
        switch (rng() % 3) {
        case 0: BusWrite32(0x04000000 + (offset & ~3u), value); break;
        case 1: BusWrite16(0x04000000 + offset, value); break;
        default: BusWrite8(0x04000000 + offset, value); break;
        }
    }
    // A DMA with any addresses and count, started at once or on a blank.
    const uint32_t channel = rng() % 4;
    BusWrite32(0x040000B0 + 12 * channel, rng());
    BusWrite32(0x040000B4 + 12 * channel, rng());
    BusWrite16(0x040000B8 + 12 * channel, rng());
    BusWrite16(0x040000BA + 12 * channel, rng() | 0x8000);
}

void RandomBiosCall(std::mt19937 &rng)
{
    static const uint32_t calls[] = {0x01, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0E, 0x0F, 0x10,
                                     0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x1F, 0x2A};
    const uint32_t number = calls[rng() % std::size(calls)];
    // Addresses anywhere; counts of the record-walking calls kept short.
    for (int r = 0; r < 4; ++r)
        ConsoleCpu.r[r] = rng();
    if (number == 0x0E || number == 0x0F)
        ConsoleCpu.r[2] &= 0xFF;
    const uint32_t pc = ConsoleCpu.r[15], cpsr = ConsoleCpu.cpsr;
    BiosCall(&ConsoleCpu, number);
    ConsoleCpu.r[15] = pc;
    ArmSwitchMode(&ConsoleCpu, cpsr);
    ConsoleCpu.earlyExit = 0;
}

TEST(MachineFuzz, RandomImagesStoresAndCallsEndCleanly)
{
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        std::mt19937 rng(seed);
        TestFolder folder;
        MachineHarness machine;
        const size_t size = 0x100 + rng() % 0x10000;
        ASSERT_TRUE(machine.Start(folder.Write("random.gba", RandomImage(rng, size)))) << seed;
        for (int frame = 0; frame < 6; ++frame) {
            RandomStores(rng);
            RandomBiosCall(rng);
            machine.RunFrames(1);
        }
        machine.Stop();
    }
}

} // namespace
} // namespace Tavrin::Test
