// Encoders for the few ARM and THUMB forms the tests write by hand.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace Tavrin::Test::Asm {

inline constexpr uint32_t AL = 0xE, EQ = 0x0, NE = 0x1, CS = 0x2, CC = 0x3, PL = 0x5, HI = 0x8, GT = 0xC, LE = 0xD;
enum Alu : uint32_t { AND, EOR, SUB, RSB, ADD, ADC, SBC, RSC, TST, TEQ, CMP, CMN, ORR, MOV, BIC, MVN };
enum Shift : uint32_t { LSL, LSR, ASR, ROR };

// Data processing with a rotated immediate.
constexpr uint32_t DpImm(uint32_t op, bool s, uint32_t rd, uint32_t rn, uint32_t imm8, uint32_t rot = 0,
                         uint32_t cond = AL)
{
    return cond << 28 | 1u << 25 | op << 21 | uint32_t(s) << 20 | rn << 16 | rd << 12 | rot << 8 | imm8;
}
// Data processing with a register shifted by an immediate amount.
constexpr uint32_t DpReg(uint32_t op, bool s, uint32_t rd, uint32_t rn, uint32_t rm, uint32_t shift = LSL,
                         uint32_t amount = 0, uint32_t cond = AL)
{
    return cond << 28 | op << 21 | uint32_t(s) << 20 | rn << 16 | rd << 12 | amount << 7 | shift << 5 | rm;
}
// Data processing with a register shifted by a register.
constexpr uint32_t DpRegShift(uint32_t op, bool s, uint32_t rd, uint32_t rn, uint32_t rm, uint32_t shift,
                              uint32_t rs, uint32_t cond = AL)
{
    return cond << 28 | op << 21 | uint32_t(s) << 20 | rn << 16 | rd << 12 | rs << 8 | shift << 5 | 1u << 4 | rm;
}
// LDR/STR/LDRB/STRB with a 12-bit immediate offset.
constexpr uint32_t Mem(bool load, bool byte, bool pre, bool up, bool wb, uint32_t rd, uint32_t rn,
                       uint32_t imm12, uint32_t cond = AL)
{
    return cond << 28 | 1u << 26 | uint32_t(pre) << 24 | uint32_t(up) << 23 | uint32_t(byte) << 22 |
           uint32_t(wb) << 21 | uint32_t(load) << 20 | rn << 16 | rd << 12 | imm12;
}
// Halfword and signed transfers with an 8-bit immediate; sh: 1 H, 2 SB, 3 SH.
constexpr uint32_t MemHalf(bool load, uint32_t sh, bool pre, bool up, bool wb, uint32_t rd, uint32_t rn,
                           uint32_t imm8, uint32_t cond = AL)
{
    return cond << 28 | uint32_t(pre) << 24 | uint32_t(up) << 23 | 1u << 22 | uint32_t(wb) << 21 |
           uint32_t(load) << 20 | rn << 16 | rd << 12 | (imm8 & 0xF0) << 4 | 1u << 7 | sh << 5 | 1u << 4 |
           (imm8 & 0xF);
}
constexpr uint32_t Block(bool load, bool pre, bool up, bool wb, uint32_t rn, uint32_t list, bool user = false,
                         uint32_t cond = AL)
{
    return cond << 28 | 4u << 25 | uint32_t(pre) << 24 | uint32_t(up) << 23 | uint32_t(user) << 22 |
           uint32_t(wb) << 21 | uint32_t(load) << 20 | rn << 16 | list;
}
constexpr uint32_t List(std::initializer_list<uint32_t> regs)
{
    uint32_t list = 0;
    for (uint32_t r : regs)
        list |= 1u << r;
    return list;
}
// B or BL from the instruction at `from` to `to`.
constexpr uint32_t Branch(uint32_t from, uint32_t to, bool link = false, uint32_t cond = AL)
{
    return cond << 28 | 5u << 25 | uint32_t(link) << 24 | (((to - from - 8) >> 2) & 0xFFFFFF);
}
constexpr uint32_t Bx(uint32_t rm, uint32_t cond = AL) { return cond << 28 | 0x012FFF10 | rm; }
constexpr uint32_t Swp(bool byte, uint32_t rd, uint32_t rn, uint32_t rm)
{
    return AL << 28 | 0x01000090 | uint32_t(byte) << 22 | rn << 16 | rd << 12 | rm;
}
constexpr uint32_t Msr(bool spsr, uint32_t fields, uint32_t rm)
{
    return AL << 28 | 0x0120F000 | uint32_t(spsr) << 22 | fields << 16 | rm;
}
constexpr uint32_t Mul(bool accumulate, bool s, uint32_t rd, uint32_t rm, uint32_t rs, uint32_t rn = 0)
{
    return AL << 28 | uint32_t(accumulate) << 21 | uint32_t(s) << 20 | rd << 16 | rn << 12 | rs << 8 | 0x90 | rm;
}
constexpr uint32_t SpinArm = 0xEAFFFFFE;

namespace T {
constexpr uint16_t Bcond(uint32_t cond, uint32_t from, uint32_t to)
{
    return uint16_t(0xD000 | cond << 8 | (((to - from - 4) >> 1) & 0xFF));
}
constexpr uint16_t B(uint32_t from, uint32_t to) { return uint16_t(0xE000 | (((to - from - 4) >> 1) & 0x7FF)); }
// Both halves of BL.
constexpr uint16_t BlHigh(uint32_t from, uint32_t to) { return uint16_t(0xF000 | (((to - from - 4) >> 12) & 0x7FF)); }
constexpr uint16_t BlLow(uint32_t from, uint32_t to) { return uint16_t(0xF800 | (((to - from - 4) >> 1) & 0x7FF)); }
constexpr uint16_t Alu(uint32_t op, uint32_t rd, uint32_t rs) { return uint16_t(0x4000 | op << 6 | rs << 3 | rd); }
constexpr uint16_t Push(uint32_t list, bool lr) { return uint16_t(0xB400 | uint32_t(lr) << 8 | list); }
constexpr uint16_t Pop(uint32_t list, bool pc) { return uint16_t(0xBC00 | uint32_t(pc) << 8 | list); }
constexpr uint16_t Spin = 0xE7FE;
} // namespace T

} // namespace Tavrin::Test::Asm
