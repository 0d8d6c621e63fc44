// The Namcot board (19): 1 KB pattern banks, name tables from pattern ROM
// or the console's RAM, 8 KB program banks, and a 15-bit cycle counter
// read back at $5000/$5800.
//
// MapperState: 0-3 reload (15 bits used), 4-7 counter (CPU cycles), 8 enable
// (bit 7 of the last $5800 write).
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

#include <cstring>

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;

void SetReload(int32_t reload)
{
    SetStateWord(0, reload);
    SetStateWord(4, reload);
}

// Values from $E0 on select the console's name tables by their low bit; so
// do all values on a board without pattern ROM.
void MapNameTable(int slot, uint8_t v)
{
    uint8_t *page = (v < 0xE0 && VromBuffer) ? VromBank1(v) : VideoSpace + ((v & 1) ? 0x2400 : 0x2000);
    SetNameTablePage(slot, page);
}

int Write19(uint16_t a, uint8_t v)
{
    if (a < 0x5000)
        return 0;
    // Either counter register acknowledges the counter's IRQ.
    if (a < 0x5800) {
        SetReload((StateWord(0) & 0xFF00) | v);
        ClearIrq();
        return 1;
    }
    if (a < 0x6000) {
        SetReload((StateWord(0) & 0xFF) | (v & 0x7F) << 8);
        State[8] = v & 0x80;
        ClearIrq();
        return 1;
    }
    if (a < 0x8000)
        return 0;
    if (a < 0xC000)
        Pattern1((a >> 11) & 7, v);
    else if (a < 0xE000)
        MapNameTable((a >> 11) & 3, v);
    else if (a < 0xF800)
        FetchMap[4 + ((a - 0xE000) >> 11)] = RomBank8(v);
    else
        return 0;
    return 1;
}

// The counter, low byte at $5000 and high seven bits at $5800.
int Read19(uint16_t a)
{
    const uint32_t counter = uint32_t(StateWord(4));
    if (a == 0x5000)
        return int(counter & 0xFF);
    if (a == 0x5800)
        return int((counter >> 8) & 0x7F);
    return -1;
}

int32_t Line19(int32_t cycles)
{
    if (!State[8])
        return 0;
    int64_t counter = int64_t(StateWord(4)) + cycles;
    if (counter >= 32768) {
        counter = WrapCounter(StateWord(0) + counter - 32768, StateWord(0));
        RaiseIrq();
    }
    SetStateWord(4, int32_t(counter));
    return 0;
}

void Init19()
{
    std::memset(State, 0, 9);
    PatternPagesAtVromStart();
}

const char *Validate19(const uint8_t *bytes)
{
    const int32_t reload = WordAt(bytes, 0), counter = WordAt(bytes, 4);
    return Sane(reload >= 0 && reload <= 0x7FFF && counter >= 0 && counter <= 0x7FFF &&
                (bytes[8] == 0 || bytes[8] == 0x80));
}

} // namespace

void AddNamcotRow(MapperRows &rows) { rows[19] = MapperRow{Init19, Write19, Line19, Validate19, nullptr, Read19}; }

} // namespace Cindrel
