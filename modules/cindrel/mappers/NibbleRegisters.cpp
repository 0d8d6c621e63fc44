// The boards that fill pattern registers a nibble at a time (21-25): one
// register core decoded from the address lines each board wires to the
// chip's register lines; 21 and 25 have the line counter, 22 and 23 lack
// it, 24 has 16 KB program banks and a cycle counter of its own.
//
// MapperState, 21/25: 0-7 pattern banks, 8 RAM enable, 9 IRQ latch,
// 10 counter, 11 control (bit 1 enable, bit 0 enable again on acknowledge),
// 12 the FetchMap entry (4 or 6) $8000 switches. 22/23: 0-7 pattern banks.
// 24: 0 latch, 1 counter, 2 enable (bit 1).
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

#include <cstring>

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;

// The chip's two register lines, as each board wires them to CPU address
// lines: a number shared by two boards listens on both pairs (a game of
// one board keeps the other pair's lines at 0). Register bit 0 picks the
// low or high nibble of a pattern bank, bit 1 which of the two banks.
struct RegisterLines {
    uint16_t bit0, bit1;
};
constexpr RegisterLines Lines21 = {0x0002 | 0x0040, 0x0004 | 0x0080}; // A1, A2; A6, A7
constexpr RegisterLines Lines22 = {0x0002, 0x0001};                   // A1, A0
constexpr RegisterLines Lines23 = {0x0001 | 0x0004, 0x0002 | 0x0008}; // A0, A1; A2, A3
constexpr RegisterLines Lines25 = {0x0002 | 0x0008, 0x0001 | 0x0004}; // A1, A0; A3, A2

int RegisterOf(uint16_t a, RegisterLines lines)
{
    return ((a & lines.bit0) ? 1 : 0) | ((a & lines.bit1) ? 2 : 0);
}

// Pattern register r of the $B000-$EFFF block at address a: page
// 2 x block + (r >> 1), nibble r & 1.
void SetPatternNibble(uint16_t a, int r, uint8_t v, int shift)
{
    const int page = 2 * ((a - 0xB000) >> 12) + (r >> 1);
    SetNibble(State[page], r & 1, v);
    Pattern1(page, uint32_t(State[page] >> shift));
}

// --- 21 and 25 ---

int WriteCounterBoard(uint16_t a, uint8_t v, RegisterLines lines)
{
    if (a < 0x6000)
        return 0;
    if (a < 0x8000) // the machine stores it through $6000's page
        return State[8] ? 0 : 1;
    const int r = RegisterOf(a, lines);
    switch (a & 0xF000) {
    case 0x8000: FetchMap[State[12]] = RomBank8(v); return 1;
    case 0x9000:
        if (r == 0) {
            MirrorTwoBits(v);
        } else if (r == 2) {
            State[8] = v & 1;
            State[12] = (v & 2) ? 6 : 4;
        }
        return 1;
    case 0xA000: FetchMap[5] = RomBank8(v); return 1;
    case 0xF000:
        switch (r) {
        case 0: SetNibble(State[9], false, v); break;
        case 1: SetNibble(State[9], true, v); break;
        case 2:
            ClearIrq();
            State[10] = State[9];
            State[11] = v & 3;
            break;
        default:
            ClearIrq();
            State[10] = State[9];
            if (State[11] & 1)
                State[11] |= 2;
            break;
        }
        return 1;
    default: // $B000-$EFFF
        SetPatternNibble(a, r, v, 0);
        return 1;
    }
}

int Write21(uint16_t a, uint8_t v) { return WriteCounterBoard(a, v, Lines21); }
int Write25(uint16_t a, uint8_t v) { return WriteCounterBoard(a, v, Lines25); }

// The counter steps once per whole line it is handed; a part line waits
// for the next call, the rest of a longer batch is dropped.
int32_t Line21(int32_t cycles)
{
    if (!(State[11] & 2))
        return 0;
    if (cycles < HPeriod)
        return cycles;
    const int sum = State[10] + cycles / HPeriod;
    if (sum >= 256) {
        State[10] = uint8_t(State[9] + sum);
        RaiseIrq();
    } else {
        State[10] = uint8_t(sum);
    }
    return 0;
}

void Init21()
{
    std::memset(State, 0, 13);
    State[12] = 4;
    PatternPagesAtVromStart();
}

const char *Validate21(const uint8_t *bytes)
{
    return Sane((bytes[12] == 4 || bytes[12] == 6) && bytes[8] <= 1 && bytes[11] <= 3);
}

// --- 22 and 23 ---

// Program banks, mirroring and the pattern registers; 22's registers drop
// their low bit.
int WritePatternFile(uint16_t a, uint8_t v, RegisterLines lines, int shift)
{
    if (a < 0x8000)
        return 0;
    switch (a & 0xF000) {
    case 0x8000: FetchMap[4] = RomBank8(v); return 1;
    case 0xA000: FetchMap[5] = RomBank8(v); return 1;
    case 0x9000: MirrorTwoBits(v); return 1;
    case 0xB000: case 0xC000: case 0xD000: case 0xE000:
        SetPatternNibble(a, RegisterOf(a, lines), v, shift);
        return 1;
    default: return 0;
    }
}

int Write22(uint16_t a, uint8_t v) { return WritePatternFile(a, v, Lines22, 1); }
int Write23(uint16_t a, uint8_t v) { return WritePatternFile(a, v, Lines23, 0); }

void Init22()
{
    std::memset(State, 0, 8);
    PatternPagesAtVromStart();
}

// --- 24 ---

int Write24(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    switch (a & 0xF003) {
    case 0x8000: case 0x8001: case 0x8002: case 0x8003: MapRom16(4, RomBank16(v)); return 1;
    case 0xB003: MirrorTwoBits(v >> 2); return 1;
    case 0xC000: case 0xC001: case 0xC002: case 0xC003: FetchMap[6] = RomBank8(v); return 1;
    case 0xD000: case 0xD001: case 0xD002: case 0xD003:
    case 0xE000: case 0xE001: case 0xE002: case 0xE003:
        Pattern1(((a - 0xD000) >> 10 & 12) + (a & 3), v);
        return 1;
    case 0xF000:
        State[State[2] ? 0 : 1] = v;
        ClearIrq();
        return 1;
    case 0xF001:
        State[2] = v & 2;
        ClearIrq();
        return 1;
    case 0xF002:
        State[1] = State[0];
        ClearIrq();
        return 1;
    default: return 0; // the sound registers
    }
}

// Whole lines step the counter; the part of a line left over carries to
// the next call.
int32_t Line24(int32_t cycles)
{
    if (!State[2])
        return 0;
    if (cycles < HPeriod)
        return cycles;
    const int sum = State[1] + cycles / HPeriod;
    State[1] = uint8_t(sum);
    if (sum >= 256)
        RaiseIrq();
    return cycles % HPeriod;
}

void Init24()
{
    std::memset(State, 0, 3);
    PatternPagesAtVromStart();
}

const char *Validate24(const uint8_t *bytes) { return Sane(bytes[2] == 0 || bytes[2] == 2); }

} // namespace

void AddNibbleRegisterRows(MapperRows &rows)
{
    rows[21] = MapperRow{Init21, Write21, Line21, Validate21, nullptr};
    rows[25] = MapperRow{Init21, Write25, Line21, Validate21, nullptr};
    rows[22] = MapperRow{Init22, Write22, nullptr, nullptr, nullptr};
    rows[23] = MapperRow{Init22, Write23, nullptr, nullptr, nullptr};
    rows[24] = MapperRow{Init24, Write24, Line24, Validate24, nullptr};
}

} // namespace Cindrel
