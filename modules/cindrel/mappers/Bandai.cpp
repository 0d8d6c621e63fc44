// The Bandai board (16): registers at $6000, $7FF0 and $8000 by the low
// address nibble, and a CPU-cycle counter. Its serial memory is not
// emulated.
//
// MapperState: 0-3 reload (16 bits used), 4-7 counter (CPU cycles),
// 8 enable.
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

#include <cstring>

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;

int Write16(uint16_t a, uint8_t v)
{
    const bool decoded = (a >= 0x6000 && a <= 0x600F) || (a >= 0x7FF0 && a <= 0x7FFF) || (a >= 0x8000 && a <= 0x800F);
    if (!decoded)
        return 0;
    const int reg = a & 15;
    if (reg < 8) {
        Pattern1(reg, v);
        return 1;
    }
    switch (reg) {
    case 8: MapRom16(4, RomBank16(v)); break;
    case 9: MirrorTwoBits(v); break;
    case 10: // also acknowledges the counter's IRQ
        SetStateWord(4, StateWord(0));
        State[8] = v & 1;
        ClearIrq();
        break;
    case 11: State[0] = v; break;
    case 12: State[1] = v; break;
    default: break; // 13: serial memory; 14-15 nothing
    }
    return 1;
}

int32_t Line16(int32_t cycles)
{
    if (!State[8])
        return 0;
    if (CountDown(4, 0, cycles))
        RaiseIrq();
    return 0;
}

void Init16()
{
    std::memset(State, 0, 9);
    PatternPagesAtVromStart();
}

const char *Validate16(const uint8_t *bytes)
{
    const int32_t reload = WordAt(bytes, 0), counter = WordAt(bytes, 4);
    return Sane(reload >= 0 && reload <= 0xFFFF && counter >= 0 && counter <= 0xFFFF && bytes[8] <= 1);
}

} // namespace

void AddBandaiRow(MapperRows &rows) { rows[16] = MapperRow{Init16, Write16, Line16, Validate16, nullptr}; }

} // namespace Cindrel
