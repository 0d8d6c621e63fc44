// Guest instructions per second of the Z80 interpreter on a few loops with
// known instruction counts and cycle costs. Prints "<name>: <value> <unit>".
//
// The machine is a bare 64 KB of RAM with a fixed line length; the
// instruction count is derived from the cycles consumed, which the loops
// make exact: every pass of a loop costs the same cycles.
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/cpu/Z80Cpu.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace Belcrest {

namespace {
uint8_t Ram[0x10000];
constexpr int32_t LinePeriod = 228;
constexpr int LinesPerFrame = 262;
int Line;
long LinesRun;
} // namespace

uint8_t *Z80PageTable[8];
uint8_t FrameDone;

void WriteMemory(uint16_t address, uint8_t value) { Ram[address] = value; }
uint8_t ReadPort(uint16_t) { return 0xFF; }
void WritePort(uint16_t, uint8_t) {}
void TrapHandler(Z80State &) {}

uint16_t LineHook(Z80State &cpu)
{
    cpu.linePeriod = LinePeriod;
    ++LinesRun;
    if (++Line == LinesPerFrame) {
        Line = 0;
        FrameDone = 1;
    }
    return Z80VectorNone;
}

} // namespace Belcrest

using namespace Belcrest;

namespace {

struct Loop {
    const char *name;
    std::vector<uint8_t> code; // loaded at 0x0100, jumps back there
    int instructionsPerPass;
    int cyclesPerPass;
};

double Measure(const Loop &loop)
{
    std::memset(Ram, 0, sizeof Ram);
    std::memcpy(Ram + 0x0100, loop.code.data(), loop.code.size());
    for (int i = 0; i < 8; ++i)
        Z80PageTable[i] = Ram + i * 0x2000;

    Z80State cpu{};
    cpu.linePeriod = LinePeriod;
    Z80Reset(cpu);
    cpu.PC.w = 0x0100;
    cpu.HL.w = 0x8000;
    cpu.DE.w = 0xC000;
    cpu.IX.w = 0x9000;
    cpu.BC.w = 0x1234;

    double best = 0;
    for (int round = 0; round < 3; ++round) {
        LinesRun = 0;
        const int32_t startLeft = cpu.cyclesLeft;
        const auto start = std::chrono::steady_clock::now();
        for (int frame = 0; frame < 2000; ++frame)
            Z80RunFrame(cpu);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cycles = double(startLeft) + double(LinesRun) * LinePeriod - cpu.cyclesLeft;
        const double instructions = cycles / loop.cyclesPerPass * loop.instructionsPerPass;
        const double rate = instructions / seconds / 1e6;
        if (rate > best)
            best = rate;
    }
    return best;
}

} // namespace

int main()
{
    const Loop loops[] = {
        // ADD A,B  XOR C  LD D,A  INC E  RLCA  SUB D  LD B,E  DEC C  JP 0100
        {"z80_register_loop",
         {0x80, 0xA9, 0x57, 0x1C, 0x07, 0x92, 0x43, 0x0D, 0xC3, 0x00, 0x01},
         9, 4 * 8 + 10},
        // LD A,(HL)  LD (DE),A  INC L  INC E  PUSH HL  POP BC  LD (IX+5),A
        // CALL 0120  JP 0100 ... 0120: RET
        {"z80_memory_loop",
         [] {
             std::vector<uint8_t> c = {0x7E, 0x12, 0x2C, 0x1C, 0xE5, 0xC1, 0xDD,
                                       0x77, 0x05, 0xCD, 0x20, 0x01, 0xC3, 0x00, 0x01};
             c.resize(0x20, 0);
             c.push_back(0xC9);
             return c;
         }(),
         10, 7 + 7 + 4 + 4 + 11 + 10 + 19 + 17 + 10 + 10},
        // LD B,0; DJNZ $; JP 0100
        {"z80_djnz_loop", {0x06, 0x00, 0x10, 0xFE, 0xC3, 0x00, 0x01}, 258,
         7 + 255 * 13 + 8 + 10},
        // LD HL,8000 LD DE,A000 LD BC,0100 LDIR JP 0100. Each byte LDIR
        // moves counts as one instruction, as the real CPU fetches LDIR again
        // for every byte.
        {"z80_ldir_loop",
         {0x21, 0x00, 0x80, 0x11, 0x00, 0xA0, 0x01, 0x00, 0x01, 0xED, 0xB0, 0xC3, 0x00, 0x01},
         4 + 256, 10 + 10 + 10 + (21 * 256 - 5) + 10},
    };
    for (const Loop &loop : loops)
        std::printf("%s: %.1f Minstr/s\n", loop.name, Measure(loop));
    return 0;
}
