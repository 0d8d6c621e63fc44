// Two boards with 8 KB program and 1 KB pattern registers and a line
// counter: 17 with whole-byte registers at $4500, 18 with nibble registers
// from $8000.
//
// MapperState, 17: 0 line counter. 18: 0-2 program registers, 4-11 pattern
// registers, 12-13 the last $E002/$E003 values, 14 line counter (byte 0 is
// program register 0 on this board).
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

#include <cstring>

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;
constexpr int Counter18 = 14;

// A non-zero counter steps down once a line and raises the IRQ at 0.
int32_t StepLineCounter(uint8_t &counter)
{
    if (counter && --counter == 0)
        RaiseIrq();
    return 0;
}

// --- 17 ---

int Write17(uint16_t a, uint8_t v)
{
    if (a >= 0x4510 && a <= 0x4517) {
        Pattern1(a - 0x4510, v);
        return 1;
    }
    if (a >= 0x4504 && a <= 0x4507) {
        FetchMap[4 + a - 0x4504] = RomBank8(v);
        return 1;
    }
    // The counter's control ($4501) and its start ($4503) acknowledge the
    // IRQ it raised.
    if (a == 0x4503) {
        State[0] = 1;
        ClearIrq();
        return 1;
    }
    if (a == 0x4501)
        ClearIrq();
    return a == 0x4501 || a == 0x4502;
}

int32_t Line17(int32_t) { return StepLineCounter(State[0]); }

void Init17()
{
    State[0] = 0;
    PatternPagesAtVromStart();
}

// --- 18 ---

int Write18(uint16_t a, uint8_t v)
{
    if ((a & 0x8FFC) != 0x8000)
        return 0;
    const bool high = a & 1;
    if (a <= 0x9001) {
        const int reg = a >= 0x9000 ? 2 : (a & 2) >> 1;
        SetNibble(State[reg], high, v);
        FetchMap[4 + reg] = RomBank8(State[reg]);
        return 1;
    }
    if (a >= 0xA000 && a <= 0xDFFF) {
        const int page = ((a - 0xA000) >> 11 & 6) + ((a & 2) >> 1);
        SetNibble(State[4 + page], high, v);
        Pattern1(page, State[4 + page]);
        return 1;
    }
    switch (a) {
    case 0xE002: case 0xE003: State[12 + (a & 1)] = v; return 1;
    case 0xF000:
        State[Counter18] = v & 1;
        ClearIrq();
        return 1;
    case 0xF001: ClearIrq(); return 1;
    case 0xF002: SetMirroring((v & 2) ? 2 : (v & 1)); return 1;
    case 0xF003: return 0;
    default: return 1; // $9002-$9003, $E000-$E001
    }
}

int32_t Line18(int32_t) { return StepLineCounter(State[Counter18]); }

void Init18()
{
    std::memset(State, 0, 15);
    PatternPagesAtVromStart();
}

const char *Validate18(const uint8_t *bytes) { return Sane(bytes[Counter18] <= 1); }

} // namespace

void AddBoards17And18Rows(MapperRows &rows)
{
    rows[17] = MapperRow{Init17, Write17, Line17, nullptr, nullptr};
    rows[18] = MapperRow{Init18, Write18, Line18, Validate18, nullptr};
}

} // namespace Cindrel
