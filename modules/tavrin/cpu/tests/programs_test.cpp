// Small hand-assembled programs run to their end: the memory, registers and
// cycle totals they leave must follow from the cycle model. Code runs from
// internal work RAM (1-cycle fetches); data lives in external work RAM
// (3-cycle byte and halfword, 6-cycle word accesses).
#include "modules/tavrin/testing/ArmAsm.h"
#include "modules/tavrin/testing/TestMachine.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

namespace Tavrin::Test {
namespace {

using namespace Asm;

constexpr uint32_t P = 0x03000000;
constexpr uint32_t Data = 0x02000000;
constexpr uint32_t Poly = 0xEDB88320;

std::vector<uint8_t> TestBytes(size_t n)
{
    std::vector<uint8_t> bytes(n);
    uint32_t x = 0x12345678;
    for (auto &b : bytes) {
        x = x * 1103515245 + 12345;
        b = uint8_t(x >> 16);
    }
    return bytes;
}

// Bits for which the reflected CRC step XORs in the polynomial.
uint32_t CrcCarries(const std::vector<uint8_t> &bytes)
{
    uint32_t crc = 0xFFFFFFFF, carries = 0;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            carries += crc & 1;
            crc = (crc >> 1) ^ ((crc & 1) ? Poly : 0);
        }
    }
    return carries;
}

class Programs : public ::testing::Test {
protected:
    TestMachine m;
    ArmState &cpu = ConsoleCpu;
    std::vector<uint8_t> bytes = TestBytes(64);
    void SetUp() override { std::memcpy(m.Host(Data), bytes.data(), bytes.size()); }
    uint32_t ZlibCrc() const { return uint32_t(crc32(0, bytes.data(), uInt(bytes.size()))); }
};

TEST_F(Programs, ArmCrc32)
{
    const uint32_t done = P + 0x2C;
    m.LoadArm(P, {
        DpImm(MVN, false, 2, 0, 0),                  // mvn r2, #0
        Mem(true, true, false, true, false, 4, 0, 1), // byte: ldrb r4, [r0], #1
        DpReg(EOR, false, 2, 2, 4),                  // eor r2, r2, r4
        DpImm(MOV, false, 5, 0, 8),                  // mov r5, #8
        DpReg(MOV, true, 2, 0, 2, LSR, 1),           // bit: movs r2, r2, lsr #1
        DpReg(EOR, false, 2, 2, 3, LSL, 0, CS),      // eorcs r2, r2, r3
        DpImm(SUB, true, 5, 5, 1),                   // subs r5, r5, #1
        Branch(P + 0x1C, P + 0x10, false, NE),       // bne bit
        DpImm(SUB, true, 1, 1, 1),                   // subs r1, r1, #1
        Branch(P + 0x24, P + 0x04, false, NE),       // bne byte
        DpReg(MVN, false, 2, 0, 2),                  // mvn r2, r2
        SpinArm,
    });
    m.ResetCpu(P);
    cpu.r[0] = Data;
    cpu.r[1] = uint32_t(bytes.size());
    cpu.r[3] = Poly;
    const int64_t cycles = m.RunUntil(done);
    EXPECT_EQ(cpu.r[2], ZlibCrc());
    EXPECT_EQ(cpu.r[0], Data + bytes.size());
    EXPECT_EQ(cpu.r[1], 0u);
    // Per byte: LDRB 1 + 3 + 1, EOR, MOV, 8 x 4 one-cycle steps, SUBS, BNE.
    EXPECT_EQ(cycles, 2 + 41 * int64_t(bytes.size()));
}

TEST_F(Programs, ThumbCrc32)
{
    const uint32_t done = P + 0x1A;
    m.LoadThumb(P, {
        T::Alu(15, 2, 2),              // mvn r2, r2
        0x7804,                        // byte: ldrb r4, [r0]
        0x3001,                        // add r0, #1
        T::Alu(1, 2, 4),               // eor r2, r4
        0x2508,                        // mov r5, #8
        0x0852,                        // bit: lsr r2, r2, #1
        T::Bcond(CC, P + 0x0C, P + 0x10),
        T::Alu(1, 2, 3),               // eor r2, r3
        0x3D01,                        // skip: sub r5, #1
        T::Bcond(NE, P + 0x12, P + 0x0A),
        0x3901,                        // sub r1, #1
        T::Bcond(NE, P + 0x16, P + 0x02),
        T::Alu(15, 2, 2),              // mvn r2, r2
        T::Spin,
    });
    m.ResetCpu(P);
    cpu.cpsr |= FlagT;
    cpu.r[0] = Data;
    cpu.r[1] = uint32_t(bytes.size());
    cpu.r[2] = 0;
    cpu.r[3] = Poly;
    const int64_t cycles = m.RunUntil(done);
    EXPECT_EQ(cpu.r[2], ZlibCrc());
    // Per byte: LDRB 5, ADD, EOR, MOV, 8 x 4 steps plus one per XOR taken, SUB, BNE.
    EXPECT_EQ(cycles, 2 + 42 * int64_t(bytes.size()) + CrcCarries(bytes));
}

// The two memcpy programs copy 64 words from external to internal work RAM
// four at a time (r0 source, r1 destination, r2 words left).
class Memcpy : public Programs {
protected:
    static constexpr uint32_t Src = Data + 0x100, Dst = P + 0x1000, Words = 64;
    void SetUp() override
    {
        Programs::SetUp();
        for (uint32_t i = 0; i < Words; ++i)
            m.Poke32(Src + 4 * i, 0xA5000000 | i * 0x010203);
    }
    // Runs the loaded program to done and checks the copy, the pointers and
    // the cycle total.
    void Run(bool thumb, uint32_t done, int64_t cyclesPerFourWords)
    {
        m.ResetCpu(P);
        if (thumb)
            cpu.cpsr |= FlagT;
        cpu.r[0] = Src;
        cpu.r[1] = Dst;
        cpu.r[2] = Words;
        const int64_t cycles = m.RunUntil(done);
        EXPECT_EQ(std::memcmp(m.Host(Src), m.Host(Dst), 4 * Words), 0);
        EXPECT_EQ(m.Peek32(Dst + 4 * Words), 0u);
        EXPECT_EQ(cpu.r[0], Src + 4 * Words);
        EXPECT_EQ(cpu.r[1], Dst + 4 * Words);
        EXPECT_EQ(cpu.r[6], m.Peek32(Src + 4 * Words - 4));
        EXPECT_EQ(cycles, cyclesPerFourWords * int64_t(Words / 4));
    }
};

TEST_F(Memcpy, ArmBlockTransfers)
{
    m.LoadArm(P, {
        Block(true, false, true, true, 0, List({3, 4, 5, 6})),  // ldmia r0!, {r3-r6}
        Block(false, false, true, true, 1, List({3, 4, 5, 6})), // stmia r1!, {r3-r6}
        DpImm(SUB, true, 2, 2, 4),                              // subs r2, r2, #4
        Branch(P + 0x0C, P, false, NE),
        SpinArm,
    });
    // Per four words: LDM 1 + 4 x 6 + 1, STM 1 + 4 x 1, SUBS, BNE.
    Run(false, P + 0x10, 33);
}

TEST_F(Memcpy, ThumbBlockTransfers)
{
    m.LoadThumb(P, {
        0xC878, // ldmia r0!, {r3-r6}
        0xC178, // stmia r1!, {r3-r6}
        0x3A04, // sub r2, #4
        T::Bcond(NE, P + 0x06, P),
        T::Spin,
    });
    // Per four words: LDMIA 1 + 4 x 6 (no internal cycle, unlike the ARM
    // form), STMIA 1 + 4 x 1, SUB, BNE.
    Run(true, P + 0x08, 32);
}

TEST_F(Programs, RecursiveArmRoutine)
{
    const uint32_t fib = P + 0x20, done = P + 0x08;
    m.LoadArm(P, {DpImm(MOV, false, 0, 0, 10), Branch(P + 4, fib, true), SpinArm});
    m.LoadArm(fib, {
        Block(false, true, false, true, 13, List({4, 5, 14})),    // stmfd sp!, {r4, r5, lr}
        DpImm(CMP, true, 0, 0, 1),                               // cmp r0, #1
        Block(true, false, true, true, 13, List({4, 5, 15}), false, LE), // ldmlefd sp!, {r4, r5, pc}
        DpReg(MOV, false, 4, 0, 0),                              // mov r4, r0
        DpImm(SUB, false, 0, 0, 1),                              // sub r0, r0, #1
        Branch(fib + 0x14, fib, true),                           // bl fib
        DpReg(MOV, false, 5, 0, 0),                              // mov r5, r0
        DpImm(SUB, false, 0, 4, 2),                              // sub r0, r4, #2
        Branch(fib + 0x20, fib, true),                           // bl fib
        DpReg(ADD, false, 0, 0, 5),                              // add r0, r0, r5
        Block(true, false, true, true, 13, List({4, 5, 15})),    // ldmfd sp!, {r4, r5, pc}
    });
    m.ResetCpu(P);
    cpu.r[4] = 0x44;
    cpu.r[5] = 0x55;
    const int64_t cycles = m.RunUntil(done);
    EXPECT_EQ(cpu.r[0], 55u);
    EXPECT_EQ(cpu.r[4], 0x44u);
    EXPECT_EQ(cpu.r[5], 0x55u);
    EXPECT_EQ(cpu.r[13], 0x03007F00u);
    EXPECT_EQ(cpu.r[14], fib + 0x24); // the last BL; LDM {pc} leaves LR
    EXPECT_FALSE(cpu.cpsr & FlagT);
    // The outermost frame: saved r4, r5 and the return address.
    EXPECT_EQ(m.Peek32(0x03007EF4), 0x44u);
    EXPECT_EQ(m.Peek32(0x03007EF8), 0x55u);
    EXPECT_EQ(m.Peek32(0x03007EFC), P + 8);
    // A leaf costs STMFD 4, CMP, LDMLE 5; an inner call 18 besides its two
    // children (the LDMLE not taken costs its fetch); the caller 2.
    std::function<int64_t(int)> cost = [&](int n) -> int64_t {
        return n <= 1 ? 10 : 18 + cost(n - 1) + cost(n - 2);
    };
    EXPECT_EQ(cycles, 2 + cost(10));
}

TEST_F(Programs, RecursiveThumbRoutine)
{
    const uint32_t main = P + 0x20, fib = P + 0x40, done = P + 0x26;
    m.LoadArm(P, {
        DpImm(ADD, false, 1, 15, main + 1 - (P + 8)), // add r1, pc, #: THUMB entry
        Bx(1),
    });
    m.LoadThumb(main, {0x200A, T::BlHigh(main + 2, fib), T::BlLow(main + 2, fib), T::Spin});
    m.LoadThumb(fib, {
        T::Push(0x30, true),            // push {r4, r5, lr}
        0x2801,                         // cmp r0, #1
        T::Bcond(GT, fib + 4, fib + 8), // bgt recurse
        T::Pop(0x30, true),             // pop {r4, r5, pc}
        0x1C04,                         // recurse: add r4, r0, #0
        0x3801,                         // sub r0, #1
        T::BlHigh(fib + 0x0C, fib), T::BlLow(fib + 0x0C, fib),
        0x1C05,                         // add r5, r0, #0
        0x1EA0,                         // sub r0, r4, #2
        T::BlHigh(fib + 0x14, fib), T::BlLow(fib + 0x14, fib),
        0x1940,                         // add r0, r0, r5
        T::Pop(0x30, true),
    });
    m.ResetCpu(P);
    cpu.r[4] = 0x44;
    cpu.r[5] = 0x55;
    const int64_t cycles = m.RunUntil(done);
    EXPECT_EQ(cpu.r[0], 55u);
    EXPECT_EQ(cpu.r[4], 0x44u);
    EXPECT_EQ(cpu.r[5], 0x55u);
    EXPECT_EQ(cpu.r[13], 0x03007F00u);
    EXPECT_EQ(cpu.r[14], (fib + 0x18) | 1); // the last BL; POP {pc} leaves LR
    EXPECT_TRUE(cpu.cpsr & FlagT);
    // The outermost frame: saved r4, r5 and the return address.
    EXPECT_EQ(m.Peek32(0x03007EF4), 0x44u);
    EXPECT_EQ(m.Peek32(0x03007EFC), (main + 6) | 1);
    // A leaf costs PUSH 4, CMP, BGT, POP 4; an inner call 19 besides its two
    // children; the ARM entry 2 and the THUMB caller 3.
    std::function<int64_t(int)> cost = [&](int n) -> int64_t {
        return n <= 1 ? 10 : 19 + cost(n - 1) + cost(n - 2);
    };
    EXPECT_EQ(cycles, 2 + 3 + cost(10));
}

} // namespace
} // namespace Tavrin::Test
