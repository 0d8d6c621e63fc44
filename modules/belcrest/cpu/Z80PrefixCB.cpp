// The CB-prefixed set: rotates and shifts (SLL included), BIT, RES and SET
// on registers and (HL).
#include "modules/belcrest/cpu/Z80Ops.h"

namespace Belcrest {

using namespace Z80;

namespace {

template <int op>
Z80_INLINE void ExecBitOp(Z80State &s)
{
    constexpr int y = (op >> 3) & 7, z = op & 7, group = op >> 6;
    if constexpr (z == 6) {
        const uint16_t a = s.HL.w;
        const uint8_t v = Read8(a);
        if constexpr (group == 0)
            WriteMemory(a, Shift<y>(s, v));
        else if constexpr (group == 1)
            Bit(s, y, v);
        else if constexpr (group == 2)
            WriteMemory(a, uint8_t(v & ~(1u << y)));
        else
            WriteMemory(a, uint8_t(v | (1u << y)));
    } else {
        uint8_t &r = Reg8<z, UseHL>(s);
        if constexpr (group == 0)
            r = Shift<y>(s, r);
        else if constexpr (group == 1)
            Bit(s, y, r);
        else if constexpr (group == 2)
            r = uint8_t(r & ~(1u << y));
        else
            r = uint8_t(r | (1u << y));
    }
}

} // namespace

void Z80ExecCB(Z80State &cpu)
{
    const uint8_t op = Fetch8(cpu);
    cpu.cyclesLeft -= CyclesCB[op];
    switch (op) {
#define Z80_OP(n) ExecBitOp<(n)>(cpu)
        Z80_CASE_256
#undef Z80_OP
    }
}

} // namespace Belcrest
