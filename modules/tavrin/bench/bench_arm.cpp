// Guest instructions per second of the handheld's ARM interpreter, for a
// loop of ARM code and one of THUMB code running from the cartridge.
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/bus/MemoryMap.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/cpu/ArmRun.h"
#include "modules/tavrin/testing/StandIns.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Tavrin;

namespace {

// A frame is 228 lines of two slices; no interrupts.
uint32_t slices = 0;

uint32_t BenchLineHook(ArmState *s)
{
    s->sliceLength = (++slices & 1) ? 272 : 960;
    if (slices % 456 == 0)
        FrameEnded = 1;
    return 0;
}

struct Memory {
    std::vector<uint8_t> ewram = std::vector<uint8_t>(EwramSize), iwram = std::vector<uint8_t>(IwramSize),
                         io = std::vector<uint8_t>(IoSize), cart = std::vector<uint8_t>(0x4000);
    Memory()
    {
        ConsoleBlocks b;
        b.ewram = ewram.data();
        b.iwram = iwram.data();
        b.io = io.data();
        b.cart = cart.data();
        b.cartSize = uint32_t(cart.size());
        MapConsoleMemory(b);
        ResetWaitCycles();
    }
};

// Each loop counts its iterations in r4.
const uint32_t ArmLoop[] = {
    0xE2800001, // add r0, r0, #1
    0xE0211000, // eor r1, r1, r0
    0xE5932000, // ldr r2, [r3]
    0xE5832004, // str r2, [r3, #4]
    0xE1A05100, // mov r5, r0, lsl #2
    0xE2844001, // add r4, r4, #1
    0xEAFFFFF8, // b loop
};
const uint16_t ThumbLoop[] = {
    0x3001, // add r0, #1
    0x4041, // eor r1, r0
    0x681A, // ldr r2, [r3]
    0x605A, // str r2, [r3, #4]
    0x0085, // lsl r5, r0, #2
    0x3401, // add r4, #1
    0xE7F8, // b loop
};

double Measure(Memory &m, const void *code, size_t bytes, bool thumb, uint32_t perIteration)
{
    std::memcpy(m.cart.data(), code, bytes);
    ConsoleCpu = ArmState{};
    ConsoleCpu.sliceLength = 960;
    ArmReset(&ConsoleCpu, 0);
    ConsoleCpu.cpsr = 0x1F | (thumb ? FlagT : 0);
    ConsoleCpu.r[3] = 0x03000100;
    ConsoleCpu.r[15] = 0x08000000;
    slices = 0;
    SetStandInLineHook(&BenchLineHook);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    double seconds = 0;
    while (seconds < 1.0) {
        for (int frame = 0; frame < 60; ++frame)
            ArmRunFrame(&ConsoleCpu);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return double(ConsoleCpu.r[4]) * perIteration / seconds / 1e6;
}

} // namespace

int main()
{
    Memory m;
    std::printf("arm_loop: %.1f Minstr/s\n", Measure(m, ArmLoop, sizeof ArmLoop, false, 7));
    std::printf("thumb_loop: %.1f Minstr/s\n", Measure(m, ThumbLoop, sizeof ThumbLoop, true, 7));
    return 0;
}
