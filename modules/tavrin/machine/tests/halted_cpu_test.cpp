// Whole programs that halt: the machine runs on without the CPU, so a
// halted program meets its interrupt at the cycle a busy one would, and a
// program waiting on IntrWait counts its frames as before.
#include "modules/tavrin/testing/MachineFixture.h"

#include "common/zorvan/Console.h"
#include "modules/tavrin/testing/ArmAsm.h"

#include <string>
#include <vector>

namespace Tavrin::Test {
namespace {

using namespace Tavrin::Test::Asm;

// ARM code from 0x08000000 with its literals in a pool at 0x08001000.
class ArmProgram {
public:
    static constexpr uint32_t Rom = 0x08000000, Pool = 0x08001000;
    uint32_t Here() const { return Rom + uint32_t(code.size()) * 4; }
    void Op(uint32_t op) { code.push_back(op); }
    // LDR rd, =value
    void Ldr(uint32_t rd, uint32_t value)
    {
        const uint32_t at = Pool + uint32_t(pool.size()) * 4;
        pool.push_back(value);
        Op(Mem(true, false, true, true, false, rd, 15, at - (Here() + 8)));
    }
    std::vector<uint8_t> Image() const
    {
        std::vector<uint8_t> bytes(0x2000);
        auto put = [&](uint32_t address, uint32_t word) {
            for (int b = 0; b < 4; ++b)
                bytes[address - Rom + b] = uint8_t(word >> (8 * b));
        };
        for (size_t i = 0; i < code.size(); ++i)
            put(Rom + uint32_t(i) * 4, code[i]);
        for (size_t i = 0; i < pool.size(); ++i)
            put(Pool + uint32_t(i) * 4, pool[i]);
        return bytes;
    }

private:
    std::vector<uint32_t> code, pool;
};

constexpr uint32_t Result = 0x03000100; // where the handlers leave what they saw
constexpr uint32_t MovIo = 0xE3A00301;  // MOV r0, #0x04000000

enum class WaitBy { HaltStore, SwiHalt, SwiIntrWait, SpinInIwram };

// Starts timer 0 (one cycle a count, interrupt on) to run over `cycles`
// later, waits for it the given way, and has the handler store the counter
// and the line it found.
std::vector<uint8_t> TimerWaitProgram(WaitBy how, uint32_t cycles)
{
    ArmProgram p;
    const uint32_t handler = ArmProgram::Rom + 0x400;
    p.Op(MovIo);
    p.Ldr(1, handler);
    p.Op(Mem(false, false, true, false, false, 1, 0, 4)); // the vector's handler word, 0x03FFFFFC
    p.Ldr(2, 0x03000000);
    p.Ldr(1, SpinArm);
    p.Op(Mem(false, false, true, true, false, 1, 2, 0)); // a branch to itself in internal RAM
    if (how != WaitBy::SwiIntrWait) {
        p.Op(DpImm(ADD, false, 2, 0, 2, 12)); // r2 = 0x04000200
        p.Op(DpImm(MOV, false, 1, 0, 8));     // IE = timer 0
        p.Op(MemHalf(false, 1, true, true, false, 1, 2, 0));
        p.Op(DpImm(MOV, false, 1, 0, 1)); // IME = 1
        p.Op(MemHalf(false, 1, true, true, false, 1, 2, 8));
    }
    p.Ldr(1, 0x00C00000 | (0x10000 - cycles));
    p.Op(Mem(false, false, true, true, false, 1, 0, 0x100)); // reload and start at once
    switch (how) {
    case WaitBy::HaltStore:
        p.Op(DpImm(MOV, false, 1, 0, 0));
        p.Op(Mem(false, true, true, true, false, 1, 0, 0x301));
        break;
    case WaitBy::SwiHalt: p.Op(0xEF020000); break;
    case WaitBy::SwiIntrWait:
        p.Op(DpImm(MOV, false, 0, 0, 1));
        p.Op(DpImm(MOV, false, 1, 0, 8));
        p.Op(0xEF040000);
        break;
    case WaitBy::SpinInIwram: p.Op(DpImm(MOV, false, 15, 0, 3, 4)); break; // to 0x03000000
    }
    p.Op(SpinArm);
    while (p.Here() < handler)
        p.Op(0);
    // The handler (r0 = 0x04000000 from the vector) keeps the counter and
    // the line, then stays put.
    p.Op(DpImm(ADD, false, 2, 0, 1, 12)); // r2 = 0x04000100
    p.Op(MemHalf(true, 1, true, true, false, 1, 2, 0));
    p.Op(MemHalf(true, 1, true, true, false, 3, 0, 6));
    p.Op(DpImm(MOV, false, 2, 0, 3, 4)); // r2 = 0x03000000
    p.Op(Mem(false, false, true, true, false, 1, 2, Result & 0xFFF));
    p.Op(Mem(false, false, true, true, false, 3, 2, (Result + 4) & 0xFFF));
    p.Op(SpinArm);
    return p.Image();
}

struct Seen {
    uint32_t counter, line;
};

Seen RunTimerWait(WaitBy how, uint32_t cycles)
{
    TestFolder folder;
    MachineHarness machine;
    EXPECT_TRUE(machine.Start(folder.Write("wait.gba", TimerWaitProgram(how, cycles))));
    machine.RunFrames(2);
    return {BusRead32(Result), BusRead32(Result + 4)};
}

TEST(HaltedCpu, MeetsATimerInterruptAtTheCycleABusyCpuDoes)
{
    // A branch to itself in internal RAM costs one cycle a turn, so the busy
    // CPU reaches the overflow's cycle exactly and takes the interrupt there.
    for (uint32_t cycles : {300u, 5000u, 60000u}) {
        const Seen busy = RunTimerWait(WaitBy::SpinInIwram, cycles);
        EXPECT_LT(busy.counter - (0x10000 - cycles), 64u) << "taken soon after the overflow";
        EXPECT_EQ(busy.line, cycles / 1232) << cycles;
        for (WaitBy how : {WaitBy::HaltStore, WaitBy::SwiHalt, WaitBy::SwiIntrWait}) {
            const Seen halted = RunTimerWait(how, cycles);
            EXPECT_EQ(halted.counter, busy.counter) << "way " << int(how) << ", " << cycles << " cycles";
            EXPECT_EQ(halted.line, busy.line) << "way " << int(how) << ", " << cycles << " cycles";
        }
    }
}

// A main loop that waits in VBlankIntrWait and counts its turns; the handler
// marks the interrupt for the BIOS, acknowledges it and counts it.
std::vector<uint8_t> VBlankLoopProgram()
{
    ArmProgram p;
    const uint32_t handler = ArmProgram::Rom + 0x400;
    p.Op(MovIo);
    p.Ldr(1, handler);
    p.Op(Mem(false, false, true, false, false, 1, 0, 4));
    p.Op(DpImm(MOV, false, 1, 0, 8));
    p.Op(MemHalf(false, 1, true, true, false, 1, 0, 4)); // vertical-blank interrupt on
    p.Ldr(4, Result);
    p.Op(DpImm(MOV, false, 5, 0, 0));
    const uint32_t loop = p.Here();
    p.Op(0xEF050000); // VBlankIntrWait
    p.Op(DpImm(ADD, false, 5, 5, 1));
    p.Op(Mem(false, false, true, true, false, 5, 4, 0));
    p.Op(Branch(p.Here(), loop));
    while (p.Here() < handler)
        p.Op(0);
    p.Op(DpImm(ADD, false, 2, 0, 2, 12));                // r2 = 0x04000200
    p.Op(DpImm(MOV, false, 1, 0, 1));
    p.Op(MemHalf(false, 1, true, true, false, 1, 2, 2)); // acknowledge
    p.Op(MemHalf(true, 1, true, false, false, 3, 0, 8)); // the BIOS flags at 0x03FFFFF8
    p.Op(DpReg(ORR, false, 3, 3, 1));
    p.Op(MemHalf(false, 1, true, false, false, 3, 0, 8));
    p.Ldr(2, Result + 4);
    p.Op(Mem(true, false, true, true, false, 3, 2, 0));
    p.Op(DpImm(ADD, false, 3, 3, 1));
    p.Op(Mem(false, false, true, true, false, 3, 2, 0));
    p.Op(Bx(14));
    return p.Image();
}

TEST(HaltedCpu, IntrWaitLoopsCountOneTurnAFrameWithoutATraceLinePerSlice)
{
    TestFolder folder;
    MachineHarness machine;
    MachineHarness::Options options;
    options.logFlags = 32; // the BIOS calls' trace lines
    ASSERT_TRUE(machine.Start(folder.Write("vblank.gba", VBlankLoopProgram()), options));
    clearConsole();
    ASSERT_EQ(machine.RunFrames(10), 10);
    // The first frame ends as line 160 begins, before its vertical blank.
    EXPECT_EQ(BusRead32(Result), 9u) << "turns of the main loop";
    EXPECT_EQ(BusRead32(Result + 4), 9u) << "interrupts served";
    const std::string console = getConsole();
    size_t calls = 0;
    for (size_t at = 0; (at = console.find("VBlankIntrWait", at)) != std::string::npos; ++at)
        ++calls;
    EXPECT_EQ(calls, 10u + 9u) << "each wait: its first pass, and the pass after its interrupt";
}

} // namespace
} // namespace Tavrin::Test
