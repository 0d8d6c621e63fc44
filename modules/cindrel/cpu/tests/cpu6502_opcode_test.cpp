// The opcodes beyond the documented set: the length of every opcode, and
// the registers, flags, memory accesses and cycles of the combined,
// immediate, unstable and NOP forms, against values worked out by hand.
#include "modules/cindrel/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace Cindrel::Test {
namespace {

// The instruction's length from the 6502's opcode layout (bits 4-2 the
// addressing group, bits 1-0 the column), worked out without the
// interpreter's table.
int LengthOf(uint8_t op)
{
    const int column = op & 3;
    switch ((op >> 2) & 7) {
    case 0: // BRK, RTI, RTS and the halts are one byte; immediates and (zp,X) two
        if (op == 0x20)
            return 3;
        return (column == 1 || column == 3 || (op & 0x80)) ? 2 : 1;
    case 1: // zp
    case 5: // zp,X / zp,Y
        return 2;
    case 2: // implied and accumulator forms, immediates
        return (column & 1) ? 2 : 1;
    case 4: // branches and (zp),Y; the halts in column 2
        return column == 2 ? 1 : 2;
    case 6: // implied, abs,Y
        return (column & 1) ? 3 : 1;
    default: // abs, abs,X / abs,Y
        return 3;
    }
}

bool MovesThePc(uint8_t op)
{
    return op == 0x00 || op == 0x20 || op == 0x40 || op == 0x60 || op == 0x4C || op == 0x6C ||
           (op & 0x1F) == 0x10;
}

bool Halts(uint8_t op)
{
    return (op & 0x0F) == 0x02 && (op < 0x80 || op == 0x92 || op == 0xB2 || op == 0xD2 || op == 0xF2);
}

TEST(Cpu6502Opcodes, EveryOpcodeTakesItsOperandBytes)
{
    int checked = 0;
    for (int op = 0; op < 256; ++op) {
        if (MovesThePc(uint8_t(op)) || Halts(uint8_t(op)))
            continue;
        ResetMachine();
        // Operands point at RAM: $40 holds a pointer to $0500.
        Poke(0x0300, {uint8_t(op), 0x40, 0x05});
        Poke(0x0040, {0x00, 0x05});
        Cpu6502State cpu = MakeCpu(0x0300, FlagR, 0xFD);
        Step(cpu);
        EXPECT_EQ(cpu.PC, 0x0300 + LengthOf(uint8_t(op))) << std::hex << "opcode $" << op;
        ++checked;
    }
    EXPECT_EQ(checked, 256 - 12 - 14);
}

struct OpCase {
    const char *what;
    std::vector<uint8_t> code;   // at $0300
    std::array<uint8_t, 5> in;   // A, X, Y, P, S
    std::vector<std::pair<uint16_t, uint8_t>> memory;
    std::array<uint8_t, 5> out;  // A, X, Y, P, S
    std::vector<Access> accesses; // every data read and write, in order
    int cycles;
};

constexpr uint8_t R = FlagR;

TEST(Cpu6502Opcodes, UndocumentedOperationsGiveTheConsolesResults)
{
    // Page zero: $40 points at $0500, $42 at $04FF.
    const std::vector<std::pair<uint16_t, uint8_t>> pointers = {{0x40, 0x00}, {0x41, 0x05}, {0x42, 0xFF}, {0x43, 0x04}};
    const OpCase cases[] = {
        // Combined read-modify-write operations.
        {"SLO zp: ASL into C, then ORA", {0x07, 0x40}, {0x02, 0, 0, R, 0xFD}, {{0x40, 0x81}},
         {0x02, 0, 0, R | FlagC, 0xFD}, {{0x40, 0x81, false}, {0x40, 0x02, true}}, 5},
        {"SLO (zp,X)", {0x03, 0x3E}, {0x01, 2, 0, R, 0xFD}, {{0x0500, 0x40}},
         {0x81, 2, 0, R | FlagN, 0xFD}, {{0x0500, 0x40, false}, {0x0500, 0x80, true}}, 8},
        {"SLO abs,Y pays nothing for a crossing", {0x1B, 0xFF, 0x04}, {0x00, 0, 1, R, 0xFD}, {{0x0500, 0x01}},
         {0x02, 0, 1, R, 0xFD}, {{0x0500, 0x01, false}, {0x0500, 0x02, true}}, 7},
        {"SLO (zp),Y", {0x13, 0x42}, {0x00, 0, 1, R, 0xFD}, {{0x0500, 0x01}},
         {0x02, 0, 1, R, 0xFD}, {{0x0500, 0x01, false}, {0x0500, 0x02, true}}, 8},
        {"RLA zp: ROL with C in, then AND", {0x27, 0x40}, {0xFF, 0, 0, R | FlagC, 0xFD}, {{0x40, 0x80}},
         {0x01, 0, 0, R | FlagC, 0xFD}, {{0x40, 0x80, false}, {0x40, 0x01, true}}, 5},
        {"SRE zp,X: LSR into C, then EOR", {0x57, 0x3E}, {0xFF, 2, 0, R, 0xFD}, {{0x40, 0x03}},
         {0xFE, 2, 0, R | FlagN | FlagC, 0xFD}, {{0x40, 0x03, false}, {0x40, 0x01, true}}, 6},
        {"RRA zp: the ROR's carry feeds the ADC", {0x67, 0x40}, {0x10, 0, 0, R, 0xFD}, {{0x40, 0x03}},
         {0x12, 0, 0, R, 0xFD}, {{0x40, 0x03, false}, {0x40, 0x01, true}}, 5},
        {"RRA abs: C rotated in, the sum carries out", {0x6F, 0x00, 0x05}, {0x7F, 0, 0, R | FlagC, 0xFD},
         {{0x0500, 0x02}}, {0x00, 0, 0, R | FlagZ | FlagC, 0xFD},
         {{0x0500, 0x02, false}, {0x0500, 0x81, true}}, 6},
        {"DCP zp: DEC, then CMP", {0xC7, 0x40}, {0x00, 0, 0, R, 0xFD}, {{0x40, 0x01}},
         {0x00, 0, 0, R | FlagZ | FlagC, 0xFD}, {{0x40, 0x01, false}, {0x40, 0x00, true}}, 5},
        {"DCP abs,X with A below the result", {0xDF, 0x00, 0x05}, {0x10, 1, 0, R | FlagC, 0xFD},
         {{0x0501, 0x80}}, {0x10, 1, 0, R | FlagN, 0xFD}, {{0x0501, 0x80, false}, {0x0501, 0x7F, true}}, 7},
        {"ISC zp: INC, then SBC", {0xE7, 0x40}, {0x10, 0, 0, R | FlagC, 0xFD}, {{0x40, 0x0F}},
         {0x00, 0, 0, R | FlagZ | FlagC, 0xFD}, {{0x40, 0x0F, false}, {0x40, 0x10, true}}, 5},
        {"ISC (zp),Y: the INC wraps, the SBC borrows", {0xF3, 0x40}, {0x05, 0, 0, R, 0xFD}, {{0x0500, 0xFF}},
         {0x04, 0, 0, R | FlagC, 0xFD}, {{0x0500, 0xFF, false}, {0x0500, 0x00, true}}, 8},

        // Stores and loads of A and X together.
        {"SAX zp: A AND X, flags untouched", {0x87, 0x40}, {0xF0, 0x3C, 0, R | FlagN | FlagC | FlagZ, 0xFD}, {},
         {0xF0, 0x3C, 0, R | FlagN | FlagC | FlagZ, 0xFD}, {{0x40, 0x30, true}}, 3},
        {"SAX zp,Y wraps inside page zero", {0x97, 0xF0}, {0xFF, 0x0F, 0x20, R, 0xFD}, {},
         {0xFF, 0x0F, 0x20, R, 0xFD}, {{0x10, 0x0F, true}}, 4},
        {"SAX (zp,X)", {0x83, 0x3E}, {0xFF, 0x02, 0, R, 0xFD}, {},
         {0xFF, 0x02, 0, R, 0xFD}, {{0x0500, 0x02, true}}, 6},
        {"SAX abs", {0x8F, 0x00, 0x05}, {0x0F, 0x3C, 0, R, 0xFD}, {},
         {0x0F, 0x3C, 0, R, 0xFD}, {{0x0500, 0x0C, true}}, 4},
        {"LAX zp", {0xA7, 0x40}, {0, 0, 0, R, 0xFD}, {{0x40, 0x80}},
         {0x80, 0x80, 0, R | FlagN, 0xFD}, {{0x40, 0x80, false}}, 3},
        {"LAX zp,Y", {0xB7, 0xF0}, {0, 0, 0x50, R, 0xFD}, {{0x40, 0x01}},
         {0x01, 0x01, 0x50, R, 0xFD}, {{0x40, 0x01, false}}, 4},
        {"LAX abs,Y crossing a page pays", {0xBF, 0xFF, 0x04}, {0x55, 0x66, 1, R, 0xFD}, {{0x0500, 0x00}},
         {0x00, 0x00, 1, R | FlagZ, 0xFD}, {{0x0500, 0x00, false}}, 5},
        {"LAX (zp),Y crossing a page pays", {0xB3, 0x42}, {0, 0, 1, R, 0xFD}, {{0x0500, 0x7F}},
         {0x7F, 0x7F, 1, R, 0xFD}, {{0x0500, 0x7F, false}}, 6},
        {"LAX (zp,X)", {0xA3, 0x3E}, {0, 2, 0, R, 0xFD}, {{0x0500, 0x42}},
         {0x42, 0x42, 0, R, 0xFD}, {{0x0500, 0x42, false}}, 6},

        // Immediates.
        {"ANC: AND, then C copies N", {0x0B, 0x80}, {0xFF, 0, 0, R, 0xFD}, {},
         {0x80, 0, 0, R | FlagN | FlagC, 0xFD}, {}, 2},
        {"ANC at $2B clears C with N", {0x2B, 0x7F}, {0xFF, 0, 0, R | FlagC, 0xFD}, {},
         {0x7F, 0, 0, R, 0xFD}, {}, 2},
        {"ALR: AND, then LSR", {0x4B, 0x03}, {0xFF, 0, 0, R, 0xFD}, {},
         {0x01, 0, 0, R | FlagC, 0xFD}, {}, 2},
        {"ARR: AND, ROR; C from bit 6, V from bits 6 and 5", {0x6B, 0xFF}, {0xC0, 0, 0, R | FlagC, 0xFD}, {},
         {0xE0, 0, 0, R | FlagN | FlagC, 0xFD}, {}, 2},
        {"ARR sets V when bits 6 and 5 differ", {0x6B, 0xFF}, {0x40, 0, 0, R, 0xFD}, {},
         {0x20, 0, 0, R | FlagV, 0xFD}, {}, 2},
        {"AXS: X = (A AND X) - M, C as CMP sets it", {0xCB, 0x01}, {0x0F, 0xF3, 0, R, 0xFD}, {},
         {0x0F, 0x02, 0, R | FlagC, 0xFD}, {}, 2},
        {"AXS borrows and leaves V", {0xCB, 0x05}, {0x0F, 0xF3, 0, R | FlagV | FlagC, 0xFD}, {},
         {0x0F, 0xFE, 0, R | FlagN | FlagV, 0xFD}, {}, 2},
        {"$EB is SBC immediate", {0xEB, 0x01}, {0x05, 0, 0, R | FlagC, 0xFD}, {},
         {0x04, 0, 0, R | FlagC, 0xFD}, {}, 2},
        {"LXA puts the operand in A and X", {0xAB, 0x5A}, {0x0F, 0x00, 0, R, 0xFD}, {},
         {0x5A, 0x5A, 0, R, 0xFD}, {}, 2},
        {"ANE: X AND the operand into A", {0x8B, 0xF0}, {0x00, 0x3C, 0, R | FlagZ, 0xFD}, {},
         {0x30, 0x3C, 0, R, 0xFD}, {}, 2},

        // The unstable ones.
        {"LAS: memory AND S into A, X and S", {0xBB, 0x00, 0x05}, {0, 0, 0, R, 0xFD}, {{0x0500, 0xF3}},
         {0xF1, 0xF1, 0, R | FlagN, 0xF1}, {{0x0500, 0xF3, false}}, 4},
        {"LAS crossing a page pays", {0xBB, 0xFF, 0x04}, {0, 0, 1, R, 0xFD}, {{0x0500, 0x0F}},
         {0x0D, 0x0D, 1, R, 0x0D}, {{0x0500, 0x0F, false}}, 5},
        {"SHX: X AND (high byte + 1)", {0x9E, 0x00, 0x05}, {0, 0xFF, 2, R, 0xFD}, {},
         {0, 0xFF, 2, R, 0xFD}, {{0x0502, 0x06, true}}, 5},
        {"SHX crossing: the value becomes the high address byte", {0x9E, 0xFF, 0x04}, {0, 0x03, 1, R, 0xFD}, {},
         {0, 0x03, 1, R, 0xFD}, {{0x0100, 0x01, true}}, 5},
        {"SHY: Y AND (high byte + 1)", {0x9C, 0x00, 0x05}, {0, 2, 0xFF, R, 0xFD}, {},
         {0, 2, 0xFF, R, 0xFD}, {{0x0502, 0x06, true}}, 5},
        {"SHY crossing", {0x9C, 0xFE, 0x06}, {0, 3, 0xF1, R, 0xFD}, {},
         {0, 3, 0xF1, R, 0xFD}, {{0x0101, 0x01, true}}, 5},
        {"SHA abs,Y: A AND X AND (high byte + 1)", {0x9F, 0x00, 0x05}, {0xFF, 0xF3, 2, R, 0xFD}, {},
         {0xFF, 0xF3, 2, R, 0xFD}, {{0x0502, 0x02, true}}, 5},
        {"SHA (zp),Y", {0x93, 0x40}, {0xFF, 0xF3, 2, R, 0xFD}, {},
         {0xFF, 0xF3, 2, R, 0xFD}, {{0x0502, 0x02, true}}, 6},
        {"TAS: S = A AND X, stored AND (high byte + 1)", {0x9B, 0x00, 0x05}, {0xF3, 0x3F, 2, R | FlagZ, 0xFD}, {},
         {0xF3, 0x3F, 2, R | FlagZ, 0x33}, {{0x0502, 0x02, true}}, 5},

        // NOPs with operands: the absolute and indexed forms read.
        {"NOP $1A is one byte", {0x1A}, {1, 2, 3, R | FlagN, 0xFD}, {}, {1, 2, 3, R | FlagN, 0xFD}, {}, 2},
        {"NOP #imm skips its operand", {0x80, 0xFF}, {1, 2, 3, R, 0xFD}, {}, {1, 2, 3, R, 0xFD}, {}, 2},
        {"NOP zp reads", {0x04, 0x40}, {1, 2, 3, R, 0xFD}, {}, {1, 2, 3, R, 0xFD}, {{0x40, 0x00, false}}, 3},
        {"NOP zp,X reads", {0x14, 0x3E}, {1, 2, 3, R, 0xFD}, {}, {1, 2, 3, R, 0xFD}, {{0x40, 0x00, false}}, 4},
        {"NOP abs reads", {0x0C, 0x02, 0x20}, {1, 2, 3, R, 0xFD}, {{0x2002, 0x80}},
         {1, 2, 3, R, 0xFD}, {{0x2002, 0x80, false}}, 4},
        {"NOP abs,X reads and pays for a crossing", {0x1C, 0xFF, 0x04}, {1, 1, 3, R, 0xFD}, {},
         {1, 1, 3, R, 0xFD}, {{0x0500, 0x00, false}}, 5},
    };
    for (const OpCase &c : cases) {
        ResetMachine();
        for (size_t i = 0; i < c.code.size(); ++i)
            Ram[0x0300 + i] = c.code[i];
        for (auto [address, value] : pointers)
            Ram[address] = value;
        for (auto [address, value] : c.memory)
            Ram[address] = value;
        Cpu6502State cpu = MakeCpu(0x0300, c.in[3], c.in[4]);
        cpu.A = c.in[0];
        cpu.X = c.in[1];
        cpu.Y = c.in[2];
        LogAccesses = true;
        EXPECT_EQ(Step(cpu), c.cycles) << c.what;
        const std::array<uint8_t, 5> out = {cpu.A, cpu.X, cpu.Y, cpu.P, cpu.S};
        EXPECT_EQ(out, c.out) << c.what;
        EXPECT_EQ(Accesses, c.accesses) << c.what;
        EXPECT_EQ(cpu.PC, 0x0300 + c.code.size()) << c.what;
    }
}

} // namespace
} // namespace Cindrel::Test
