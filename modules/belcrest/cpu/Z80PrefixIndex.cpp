// The index prefixes: DD (IX) and FD (IY) run the unprefixed bodies with the
// index register in place of HL; DD CB and FD CB work on (IX+d) / (IY+d).
#include "modules/belcrest/cpu/Z80Unprefixed.h"

#include <cinttypes>
#include <cstdio>

namespace Belcrest {

using namespace Z80;

namespace Z80 {

void IndexPrefixBeforeED(Z80State &s, int which)
{
    if (!s.trapUnknownOpcodes)
        return;
    const unsigned at = uint16_t(s.PC.w - 2);
    // The FD form of this report carries no user word.
    if (which == UseIX)
        std::printf("[Z80 %" PRIX32 "] Unrecognized instruction: DD %02X at PC=%04X\n",
                    s.userWord, 0xEDu, at);
    else
        std::printf("Unrecognized instruction: FD %02X at PC=%04X\n", 0xEDu, at);
}

} // namespace Z80

namespace {

template <int X>
Z80_INLINE void ExecIndex(Z80State &s)
{
    const uint8_t op = Fetch8(s);
    s.cyclesLeft -= CyclesIndex[op];
    switch (op) {
#define Z80_OP(n) ExecOp<(n), X>(s)
        Z80_CASE_256
#undef Z80_OP
    }
}

template <int X>
void ExecIndexBit(Z80State &s)
{
    const uint8_t d = Fetch8(s);
    const uint8_t op = Fetch8(s);
    s.cyclesLeft -= CyclesIndexBit[op];
    const uint16_t a = uint16_t(IndexReg<X>(s).w + int8_t(d));
    const int y = (op >> 3) & 7;

    if (op >= 0x40 && op < 0x80) { // BIT, any register field
        Bit(s, y, Read8(a));
        return;
    }
    if ((op & 7) != 6) {
        // The forms that would also copy the result into a register.
        if (s.trapUnknownOpcodes)
            std::printf("[Z80 %" PRIX32 "] Unrecognized instruction: %s CB %02X %02X at PC=%04X\n",
                        s.userWord, X == UseIX ? "DD" : "FD", unsigned(d), unsigned(op),
                        unsigned(uint16_t(s.PC.w - 4)));
        return;
    }
    const uint8_t v = Read8(a);
    uint8_t r;
    if (op < 0x40) {
        switch (y) {
        case 0: r = Shift<0>(s, v); break;
        case 1: r = Shift<1>(s, v); break;
        case 2: r = Shift<2>(s, v); break;
        case 3: r = Shift<3>(s, v); break;
        case 4: r = Shift<4>(s, v); break;
        case 5: r = Shift<5>(s, v); break;
        case 6: r = Shift<6>(s, v); break;
        default: r = Shift<7>(s, v); break;
        }
    } else if (op < 0xC0) {
        r = uint8_t(v & ~(1u << y));
    } else {
        r = uint8_t(v | (1u << y));
    }
    WriteMemory(a, r);
}

} // namespace

void Z80ExecDD(Z80State &cpu) { ExecIndex<UseIX>(cpu); }
void Z80ExecFD(Z80State &cpu) { ExecIndex<UseIY>(cpu); }
void Z80ExecDDCB(Z80State &cpu) { ExecIndexBit<UseIX>(cpu); }
void Z80ExecFDCB(Z80State &cpu) { ExecIndexBit<UseIY>(cpu); }

} // namespace Belcrest
