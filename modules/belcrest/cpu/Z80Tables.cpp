#include "modules/belcrest/cpu/Z80Tables.h"

namespace Belcrest {
namespace {

constexpr uint8_t PrefixCost = 4;

constexpr std::array<uint8_t, 256> MakeSz()
{
    std::array<uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v)
        t[v] = uint8_t((v & 0x80) | (v == 0 ? 0x40 : 0));
    return t;
}

constexpr bool EvenParity(int v)
{
    int ones = 0;
    for (; v; v >>= 1)
        ones += v & 1;
    return (ones & 1) == 0;
}

constexpr std::array<uint8_t, 256> MakeSzp()
{
    std::array<uint8_t, 256> t = MakeSz();
    for (int v = 0; v < 256; ++v)
        t[v] |= EvenParity(v) ? 0x04 : 0;
    return t;
}

constexpr std::array<uint16_t, 2048> MakeDaa()
{
    std::array<uint16_t, 2048> t{};
    const auto szp = MakeSzp();
    for (int i = 0; i < 2048; ++i) {
        const int a = i & 0xFF;
        const bool c = i & 0x100, h = i & 0x200, n = i & 0x400;
        const int low = a & 0x0F;
        int correction = 0;
        bool carry = c;
        if (c || a > 0x99) {
            correction |= 0x60;
            carry = true;
        }
        if (h || low > 9)
            correction |= 0x06;
        const int result = (n ? a - correction : a + correction) & 0xFF;
        const bool halfCarry = n ? (h && low < 6) : (low > 9);
        const int f = szp[result] | (result & 0x28) | (halfCarry ? 0x10 : 0) |
                      (n ? 0x02 : 0) | (carry ? 0x01 : 0);
        t[i] = uint16_t(result << 8 | f);
    }
    return t;
}

// Documented T-states of the unprefixed set; conditional forms not taken.
constexpr std::array<uint8_t, 256> MakeMain()
{
    constexpr uint8_t rows[256] = {
        //0  1   2   3   4   5   6   7   8   9   A   B   C   D   E   F
        4, 10, 7,  6,  4,  4,  7,  4,  4,  11, 7,  6,  4,  4,  7,  4,  // 0x
        8, 10, 7,  6,  4,  4,  7,  4,  12, 11, 7,  6,  4,  4,  7,  4,  // 1x
        7, 10, 16, 6,  4,  4,  7,  4,  7,  11, 16, 6,  4,  4,  7,  4,  // 2x
        7, 10, 13, 6,  11, 11, 10, 4,  7,  11, 13, 6,  4,  4,  7,  4,  // 3x
        4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 4x
        4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 5x
        4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 6x
        7, 7,  7,  7,  7,  7,  4,  7,  4,  4,  4,  4,  4,  4,  7,  4,  // 7x
        4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 8x
        4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // 9x
        4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // Ax
        4, 4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  // Bx
        5, 10, 10, 10, 10, 11, 7,  11, 5,  10, 10, 0,  10, 17, 7,  11, // Cx
        5, 10, 10, 11, 10, 11, 7,  11, 5,  4,  10, 11, 10, 0,  7,  11, // Dx
        5, 10, 10, 19, 10, 11, 7,  11, 5,  4,  10, 4,  10, 0,  7,  11, // Ex
        5, 10, 10, 4,  10, 11, 7,  11, 5,  6,  10, 4,  10, 0,  7,  11, // Fx
    };
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = rows[i];
    t[0xCB] = t[0xDD] = t[0xED] = t[0xFD] = PrefixCost;
    return t;
}

constexpr std::array<uint8_t, 256> MakeCB()
{
    std::array<uint8_t, 256> t{};
    for (int op = 0; op < 256; ++op) {
        const bool memory = (op & 7) == 6;
        const bool bit = (op & 0xC0) == 0x40;
        t[op] = uint8_t((memory ? (bit ? 12 : 15) : 8) - PrefixCost);
    }
    return t;
}

constexpr std::array<uint8_t, 256> MakeED()
{
    // Every opcode starts as "does nothing": 8 T-states with its prefix.
    std::array<uint8_t, 256> total{};
    for (auto &c : total)
        c = 8;
    for (int r = 0; r < 8; ++r) {
        total[0x40 + 8 * r] = 12; // IN r,(C), ED 70 included
        if (r != 6)
            total[0x41 + 8 * r] = 12; // OUT (C),r; ED 71 does nothing
    }
    for (int rr = 0; rr < 4; ++rr) {
        total[0x42 + 16 * rr] = 15; // SBC HL,rr
        total[0x4A + 16 * rr] = 15; // ADC HL,rr
        total[0x43 + 16 * rr] = 20; // LD (nn),rr
        total[0x4B + 16 * rr] = 20; // LD rr,(nn)
    }
    total[0x44] = 8;                                     // NEG
    total[0x46] = total[0x56] = total[0x5E] = 8;         // IM 0/1/2
    total[0x47] = total[0x4F] = total[0x57] = total[0x5F] = 9;
    total[0x45] = total[0x4D] = 14;                      // RETN, RETI
    total[0x67] = total[0x6F] = 18;                      // RRD, RLD
    for (int op : {0xA0, 0xA1, 0xA2, 0xA3, 0xA8, 0xA9, 0xAA, 0xAB})
        total[op] = 16;
    // The repeating forms charge per step; the trap and a second ED prefix
    // cost only their prefix.
    for (int op : {0xB0, 0xB1, 0xB2, 0xB3, 0xB8, 0xB9, 0xBA, 0xBB, 0xFE, 0xED})
        total[op] = PrefixCost;
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = uint8_t(total[i] - PrefixCost);
    return t;
}

// After DD/FD: the T-states of the index forms; 9 for forms on the index
// register halves; nothing of its own for an opcode that does not touch HL.
constexpr std::array<uint8_t, 256> MakeIndex()
{
    std::array<uint8_t, 256> total{};
    auto set = [&](int op, int c) { total[op] = uint8_t(c); };
    for (int op : {0x09, 0x19, 0x29, 0x39})
        set(op, 15);
    set(0x21, 14);
    set(0x22, 20);
    set(0x2A, 20);
    set(0x23, 10);
    set(0x2B, 10);
    set(0x34, 23);
    set(0x35, 23);
    set(0x36, 19);
    for (int op : {0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E})
        set(op, 9);
    for (int op = 0x40; op < 0xC0; ++op) {
        const int dst = (op >> 3) & 7, src = op & 7;
        const bool load = op < 0x80;
        if (src == 6 || (load && dst == 6))
            set(op, 19); // (IX+d)
        else if (src == 4 || src == 5 || (load && (dst == 4 || dst == 5)))
            set(op, 9); // IXh, IXl
    }
    set(0x76, 19);
    set(0xE1, 14);
    set(0xE5, 15);
    set(0xE3, 23);
    set(0xE9, 8);
    set(0xF9, 10);
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = total[i] ? uint8_t(total[i] - PrefixCost) : 0;
    t[0xCB] = PrefixCost; // a prefix byte of its own
    t[0xED] = PrefixCost;
    return t;
}

constexpr std::array<uint8_t, 256> MakeIndexBit()
{
    std::array<uint8_t, 256> t{};
    for (int op = 0; op < 256; ++op) {
        int total = 0;
        if (op >= 0x40 && op < 0x80)
            total = 20;
        else if ((op & 7) == 6)
            total = 23;
        // The DD and CB prefixes have been charged already.
        t[op] = total ? uint8_t(total - 2 * PrefixCost) : 0;
    }
    return t;
}

} // namespace

const std::array<uint8_t, 256> SzTable = MakeSz();
const std::array<uint8_t, 256> SzpTable = MakeSzp();
const std::array<uint16_t, 2048> DaaTable = MakeDaa();
const std::array<uint8_t, 256> CyclesMain = MakeMain();
const std::array<uint8_t, 256> CyclesCB = MakeCB();
const std::array<uint8_t, 256> CyclesED = MakeED();
const std::array<uint8_t, 256> CyclesIndex = MakeIndex();
const std::array<uint8_t, 256> CyclesIndexBit = MakeIndexBit();

} // namespace Belcrest
