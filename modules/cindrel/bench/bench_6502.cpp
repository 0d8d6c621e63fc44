// Measures the 6502 interpreter: guest instructions per second on one core.
//
// The CPU runs against a stand-in machine shaped like the console's: work
// RAM stored to all four mirrors, data reads through the fetch map outside
// the I/O window, and a line step every 85 and 29 cycles that ends a frame
// every 262 lines. Each guest program has data-independent control flow, so
// its instruction count follows from the pass counter it keeps in $10-$12.
//
// Prints "<name>: <number> <unit>" lines.
#include "modules/cindrel/cpu/Cpu6502.h"
#include "modules/cindrel/cpu/CpuBus.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace Cindrel {

uint8_t *FetchMap[8];
bool FrameDone;

namespace {

uint8_t Space[0x10000];
int Line;
bool VisiblePart = true;

} // namespace

uint8_t ReadMemory(uint16_t address)
{
    if (address < 0x2000 || address >= 0x6000)
        return FetchMap[address >> 13][address & 0x1FFF];
    return uint8_t(address >> 8); // unmapped I/O
}

void WriteMemory(uint16_t address, uint8_t value)
{
    if (address < 0x2000) {
        address &= 0x7FF;
        Space[address] = Space[address + 0x800] = Space[address + 0x1000] = Space[address + 0x1800] = value;
    } else if (address >= 0x6000 && address < 0x8000) {
        Space[address] = value;
    }
}

int LineHook(Cpu6502State &cpu)
{
    if (VisiblePart) {
        cpu.linePeriod = 85;
    } else {
        cpu.linePeriod = 29;
        if (++Line == 262) {
            Line = 0;
            FrameDone = true;
        }
    }
    VisiblePart = !VisiblePart;
    return IntNone;
}

} // namespace Cindrel

using namespace Cindrel;

namespace {

struct Piece {
    uint16_t address;
    std::vector<uint8_t> bytes;
};

struct Program {
    const char *name;
    uint16_t start;
    std::vector<Piece> pieces;
    long long perPass; // instructions per pass of the Y/X loop, pass counter included
};

// Both programs end each pass of 256 inner iterations with the same
// counter: INC $10 / BNE / INC $11 / BNE / INC $12 / JMP, which costs 3
// instructions, 2 more when $10 wraps and 1 more again when $11 wraps.
const Program Programs[] = {
    {"cpu6502_loop", 0x0400,
     {{0x0400, {0xA2, 0x00,             // LDX #0
                0xBD, 0x00, 0x02,       // loop: LDA $0200,X
                0x18,                   // CLC
                0x69, 0x03,             // ADC #3
                0x9D, 0x00, 0x03,       // STA $0300,X
                0xE8,                   // INX
                0xD0, 0xF4,             // BNE loop
                0xE6, 0x10, 0xD0, 0x06, // INC $10 / BNE next
                0xE6, 0x11, 0xD0, 0x02, // INC $11 / BNE next
                0xE6, 0x12,             // INC $12
                0x4C, 0x02, 0x04}}},    // next: JMP loop
     256 * 6 + 3},
    {"cpu6502_mix", 0x8000,
     {{0x8000, {0xA0, 0x00,             // LDY #0
                0xB1, 0x20,             // loop: LDA ($20),Y
                0x20, 0x00, 0x90,       // JSR work
                0x91, 0x22,             // STA ($22),Y
                0xC8,                   // INY
                0xD0, 0xF6,             // BNE loop
                0xE6, 0x10, 0xD0, 0x06, // INC $10 / BNE next
                0xE6, 0x11, 0xD0, 0x02, // INC $11 / BNE next
                0xE6, 0x12,             // INC $12
                0x4C, 0x02, 0x80}},     // next: JMP loop
      {0x9000, {0x48,                   // work: PHA
                0x0A,                   // ASL A
                0x26, 0x30,             // ROL $30
                0x45, 0x30,             // EOR $30
                0xAA,                   // TAX
                0xBD, 0x00, 0xA0,       // LDA $A000,X
                0x65, 0x31,             // ADC $31
                0x85, 0x31,             // STA $31
                0x68,                   // PLA
                0x4A,                   // LSR A
                0x05, 0x31,             // ORA $31
                0x29, 0x7F,             // AND #$7F
                0x24, 0x32,             // BIT $32
                0x60}},                 // RTS
      {0x0020, {0x00, 0x06, 0x00, 0x07}}}, // ($20) -> $0600, ($22) -> $0700
     256 * 19 + 3},
};

long long Instructions(const Program &p)
{
    long long passes = Space[0x10] | (Space[0x11] << 8) | (Space[0x12] << 16);
    return passes * p.perPass + 2 * (passes / 256) + passes / 65536;
}

// CPU time of this thread: the figure stays that of one core even when the
// machine is busy with other work and the thread is not always running.
double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Rate {
    double minstr;
    double mhz;
};

Rate RunOnce(const Program &p, double seconds)
{
    std::memset(Space, 0, sizeof Space);
    for (int i = 0; i < 8; ++i)
        FetchMap[i] = Space + i * 0x2000;
    for (int i = 0; i < 0x2000; ++i)
        Space[0xA000 + i] = uint8_t(i * 37 + 11); // lookup table and data
    for (const Piece &piece : p.pieces) {
        uint16_t at = piece.address;
        for (uint8_t b : piece.bytes)
            Space[at++] = b;
    }
    Line = 0;
    VisiblePart = true;
    FrameDone = false;

    Cpu6502State cpu;
    cpu.PC = p.start;
    cpu.P = FlagR | FlagI;
    cpu.S = 0xFD;
    cpu.linePeriod = 85;
    cpu.cyclesLeft = 85;
    cpu.autoClear = 1;

    const double start = ThreadSeconds();
    double elapsed = 0;
    long long frames = 0;
    while (elapsed < seconds) {
        for (int i = 0; i < 20; ++i)
            frames += Cpu6502RunFrame(cpu);
        elapsed = ThreadSeconds() - start;
    }
    return {double(Instructions(p)) / elapsed / 1e6, double(frames) * 262 * 114 / elapsed / 1e6};
}

} // namespace

// Usage: bench_6502 [CPU seconds per run] [runs]. Each figure is the best of
// several short runs.
int main(int argc, char **argv)
{
    double seconds = argc > 1 ? std::atof(argv[1]) : 0.4;
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (seconds <= 0)
        seconds = 0.4;
    if (runs < 1)
        runs = 1;
    for (const Program &p : Programs) {
        Rate best{0, 0};
        for (int i = 0; i < runs; ++i) {
            Rate r = RunOnce(p, seconds);
            if (r.minstr > best.minstr)
                best = r;
        }
        std::printf("%s: %.1f Minstr/s\n", p.name, best.minstr);
        std::printf("%s_guest_clock: %.1f MHz\n", p.name, best.mhz);
    }
    return 0;
}
