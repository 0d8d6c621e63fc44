// Memory nothing answers: loads see the instruction word the CPU fetched
// last, as each kind of memory the code runs from puts it on the bus, and a
// jump there keeps executing what the bus held when the CPU arrived.
#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/testing/ArmAsm.h"
#include "modules/tavrin/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <bit>

namespace Tavrin::Test {
namespace {

using namespace Asm;

// One address in each unmapped stretch: above the BIOS, below external work
// RAM, past the 28-bit address space, at its top.
constexpr uint32_t Unmapped[] = {0x00004000, 0x0100ABC0, 0x01FFFFFC, 0x10000000, 0x8765432C, 0xFFFFFFFC};

uint16_t ThumbLdr(uint32_t rd, uint32_t rb, uint32_t imm5) { return uint16_t(0x6800 | imm5 << 6 | rb << 3 | rd); }
uint16_t ThumbLdrh(uint32_t rd, uint32_t rb, uint32_t imm5) { return uint16_t(0x8800 | imm5 << 6 | rb << 3 | rd); }
uint16_t ThumbLdrb(uint32_t rd, uint32_t rb, uint32_t imm5) { return uint16_t(0x7800 | imm5 << 6 | rb << 3 | rd); }

class OpenBus : public ::testing::Test {
protected:
    TestMachine m;
    ArmState &cpu = ConsoleCpu;
};

TEST_F(OpenBus, ArmLoadsSeeTheWordTwoInstructionsAhead)
{
    for (uint32_t code : {0x08000100u, 0x03000100u, 0x02000100u, 0x00000100u, 0x06000100u}) {
        const uint32_t ahead = 0xC0DE0000 | (code >> 16) | 0x1234;
        m.Poke32(code + 8, ahead);
        for (uint32_t address : Unmapped) {
            cpu.r[1] = address;
            m.ExecArm(Mem(true, false, true, true, false, 0, 1, 0), code);
            EXPECT_EQ(cpu.r[0], ahead) << std::hex << code << " " << address;
            m.ExecArm(MemHalf(true, 1, true, true, false, 0, 1, 2), code);
            EXPECT_EQ(cpu.r[0], ahead >> 16) << std::hex << code << " " << address;
            m.ExecArm(Mem(true, true, true, true, false, 0, 1, 1), code);
            EXPECT_EQ(cpu.r[0], (ahead >> 8) & 0xFF) << std::hex << code << " " << address;
            m.ExecArm(Mem(true, false, true, true, false, 0, 1, 1), code);
            EXPECT_EQ(cpu.r[0], std::rotr(ahead, 8)) << "misaligned: rotated, " << std::hex << code;
        }
    }
}

// THUMB fetches a halfword: 16-bit memories show it twice; the 32-bit ones
// show it beside the neighbour their last fetch brought along.
TEST_F(OpenBus, ThumbLoadsSeeTheHalfwordPairOfTheirMemory)
{
    struct Case {
        const char *what;
        uint32_t code;
        uint32_t low, high; // offsets from the instruction of the halves on the bus
    } const cases[] = {
        {"cartridge", 0x08000100, 4, 4}, {"cartridge, odd halfword", 0x08000102, 4, 4},
        {"external RAM", 0x02000100, 4, 4}, {"VRAM", 0x06000102, 4, 4},
        {"BIOS", 0x00000100, 4, 6},     {"BIOS, odd halfword", 0x00000102, 2, 4},
        {"OAM", 0x07000100, 4, 6},      {"OAM, odd halfword", 0x07000102, 2, 4},
        {"internal RAM", 0x03000100, 4, 2}, {"internal RAM, odd halfword", 0x03000102, 2, 4},
    };
    for (const Case &c : cases) {
        for (uint32_t offset = 2; offset <= 6; offset += 2)
            m.Poke16(c.code + offset, uint16_t(0xA000 | c.code >> 24 << 8 | offset));
        const uint32_t expected = HostHalf(m.Host(c.code + c.low)) | HostHalf(m.Host(c.code + c.high)) << 16;
        for (uint32_t address : Unmapped) {
            cpu.r[1] = address;
            m.ExecThumb(ThumbLdr(0, 1, 0), c.code);
            EXPECT_EQ(cpu.r[0], expected) << c.what << " " << std::hex << address;
            m.ExecThumb(ThumbLdrh(0, 1, 1), c.code);
            EXPECT_EQ(cpu.r[0], expected >> 16) << c.what;
            m.ExecThumb(ThumbLdrb(0, 1, 1), c.code);
            EXPECT_EQ(cpu.r[0], (expected >> 8) & 0xFF) << c.what;
        }
    }
}

TEST_F(OpenBus, TheBiosAreaKeepsItsRuleAndTheBusSeesTheSame)
{
    m.Poke32(0x08000108, 0x11223344);
    cpu.r[1] = 0x00000010;
    m.ExecArm(Mem(true, false, true, true, false, 0, 1, 0));
    EXPECT_EQ(cpu.r[0], BiosOpenBusWord) << "read from outside the BIOS";
    // The bus functions (DMA, the BIOS calls) read the same open bus, and
    // stores there reach nothing, not even a mirror.
    cpu.cpsr &= ~FlagT;
    cpu.r[15] = 0x08000104;
    EXPECT_EQ(BusRead32(0x01000000), 0x11223344u);
    EXPECT_EQ(BusRead16(0x10000002), 0x1122u);
    EXPECT_EQ(BusRead8(0xF0000001), 0x33u);
    BusWrite32(0x12000000, 0xDEADBEEF);
    BusWrite16(0x13000004, 0xBEEF);
    BusWrite8(0x12000008, 0xEF);
    EXPECT_EQ(BusRead32(0x02000000), 0u);
    EXPECT_EQ(BusRead32(0x03000004), 0u);
    EXPECT_EQ(BusRead32(0x02000008), 0u);
}

// A jump into unmapped memory runs, at every address there, the word the
// bus held: here an ADD, so r0 counts the instructions executed there.
TEST_F(OpenBus, AJumpIntoUnmappedMemoryExecutesWhatTheBusHolds)
{
    constexpr uint32_t Add = 0xE2800001; // add r0, r0, #1
    struct Case {
        const char *what;
        uint32_t code;
        uint32_t jump;
        uint32_t target;
    } const cases[] = {
        {"B", 0x02000100, Branch(0x02000100, 0x01FFFF00), 0x01FFFF00},
        {"BX", 0x08000100, Bx(2), 0x00004000},
        {"MOV pc", 0x03000100, DpReg(MOV, false, 15, 0, 2), 0x00004000},
        {"LDR pc", 0x08000100, Mem(true, false, true, true, false, 15, 3, 0), 0x10000000},
    };
    for (const Case &c : cases) {
        m.LoadArm(c.code, {c.jump, 0xE1A00000, Add});
        m.Poke32(0x03000000, c.target);
        cpu.cpsr = 0x1F;
        cpu.r[0] = 0;
        cpu.r[2] = c.target;
        cpu.r[3] = 0x03000000;
        cpu.r[15] = c.code;
        m.Step();
        ASSERT_EQ(cpu.r[15], c.target) << c.what;
        for (int i = 0; i < 5; ++i)
            m.Step();
        EXPECT_EQ(cpu.r[0], 5u) << c.what;
        EXPECT_EQ(cpu.r[15], c.target + 20) << c.what;
    }

    constexpr uint32_t Code = 0x08000100;
    // From THUMB code in the cartridge the bus holds the halfword two ahead,
    // twice: each unmapped halfword runs it.
    m.LoadThumb(Code, {0x4710, 0x46C0, 0x3001}); // bx r2; nop; adds r0, #1
    cpu.cpsr = 0x3F;
    cpu.r[0] = 0;
    cpu.r[2] = 0x00004001;
    cpu.r[15] = Code;
    m.Step();
    for (int i = 0; i < 6; ++i)
        m.Step();
    EXPECT_EQ(cpu.r[0], 6u);
    EXPECT_EQ(cpu.r[15], 0x0000400Cu);
    // Loads there read the held word too.
    m.LoadThumb(Code, {0x4710, 0x46C0, ThumbLdr(0, 1, 0)});
    cpu.r[1] = 0x01000000;
    cpu.r[15] = Code;
    m.Step();
    m.Step();
    EXPECT_EQ(cpu.r[0], uint32_t(ThumbLdr(0, 1, 0)) * 0x10001);
}

} // namespace
} // namespace Tavrin::Test
