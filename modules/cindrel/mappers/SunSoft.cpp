// The three SunSoft boards: 67 (2 KB pattern banks, a line counter), 68
// (2 KB pattern banks and name tables from pattern ROM) and 69, FME-7
// (command and parameter registers, a CPU-cycle counter, ROM or RAM at
// $6000).
//
// MapperState, 67: 0 enable (bit 4), 1 line counter. 68: 0-1 the name-table
// ROM banks of $C000 and $D000, 2 the last $E000 value. 69: 0 command,
// 1 IRQ enable, 4-7 counter (16 bits used).
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

#include <cstring>

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;

void MapFirstVrom8()
{
    if (VromBuffer)
        MapVideoPages(0, 7, VromBuffer);
}

// --- 67 ---

int Write67(uint16_t a, uint8_t v)
{
    if ((a & 0x8800) != 0x8800)
        return 0;
    switch (a & 0xF800) {
    case 0xC800: State[1] = v; break;
    case 0xD800:
        State[0] = v & 16;
        ClearIrq();
        break;
    case 0xE800: SetMirroring(v & 3); break;
    case 0xF800: MapRom16(4, RomBank16(v)); break;
    default: Pattern2(2 * ((a >> 12) & 3), 2u * v); break; // $8800-$B800
    }
    return 1;
}

int32_t Line67(int32_t)
{
    if (State[0] && --State[1] == 0)
        RaiseIrq();
    return 0;
}

void Init67()
{
    State[0] = State[1] = 0;
    MapFirstVrom8();
}

const char *Validate67(const uint8_t *bytes) { return Sane(bytes[0] == 0 || bytes[0] == 16); }

// --- 68 ---

// With $E000 bit 4 set the name tables come from pattern ROM: the banks of
// $C000 and $D000 (bit 7 always set) arranged as the mirroring bits say;
// clear, from the console's own name-table RAM.
void MapNameTables68()
{
    static constexpr uint8_t arrangement[4][4] = {{0, 0, 1, 1}, {0, 1, 0, 1}, {0, 0, 0, 0}, {1, 1, 1, 1}};
    const int mode = State[2] & 3;
    if (!(State[2] & 0x10) || !VromBuffer) {
        SetMirroring(mode | 128);
        return;
    }
    for (int i = 0; i < 4; ++i)
        SetNameTablePage(i, VromBank1(State[arrangement[mode][i]] | 0x80u));
}

int Write68(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    switch (a & 0xF000) {
    case 0xC000:
    case 0xD000:
        State[(a >> 12) - 0xC] = v;
        MapNameTables68();
        break;
    case 0xE000:
        State[2] = v;
        MapNameTables68();
        break;
    case 0xF000: MapRom16(4, RomBank16(v)); break;
    default: Pattern2(2 * ((a >> 12) & 3), 2u * v); break; // $8000-$BFFF
    }
    return 1;
}

void Init68()
{
    State[0] = State[1] = State[2] = 0;
    MapFirstVrom8();
}

// --- 69, FME-7 ---

uint32_t Counter69() { return uint32_t(StateWord(4)); }
void SetCounter69(uint32_t value) { SetStateWord(4, int32_t(value)); }

int Write69(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    if (a < 0xA000) {
        State[0] = v & 15;
        return 1;
    }
    if (a >= 0xC000)
        return 0; // the sound registers
    const int command = State[0];
    if (command < 8) {
        Pattern1(command, v);
    } else if (command == 8) {
        // Bit 6 selects RAM, bit 7 enables it; RAM selected but disabled
        // reads the open bus.
        FetchMap[3] = !(v & 0x40) ? RomBank8(v & 0x3F) : (v & 0x80) ? WorkRamPage(0) : OpenBusPage();
    } else if (command < 12) {
        FetchMap[4 + command - 9] = RomBank8(v);
    } else if (command == 12) {
        MirrorTwoBits(v);
    } else if (command == 13) {
        ClearIrq();
        State[1] = v & 1;
    } else {
        const uint32_t c = Counter69();
        SetCounter69(command == 14 ? (c & 0xFF00) | v : (c & 0x00FF) | uint32_t(v) << 8);
    }
    return 1;
}

// Counts down by the CPU cycles it is handed, the whole vertical blank in
// the first call of a frame included.
int32_t Line69(int32_t cycles)
{
    if (!State[1])
        return 0;
    const int32_t d = int32_t(Counter69()) - cycles;
    SetCounter69(uint32_t(d) & 0xFFFF);
    if (d <= 0)
        RaiseIrq();
    return 0;
}

void Init69()
{
    std::memset(State, 0, 8);
    PatternPagesAtVromStart();
}

const char *Validate69(const uint8_t *bytes) { return Sane(bytes[0] <= 15 && bytes[1] <= 1 && bytes[6] == 0 && bytes[7] == 0); }

} // namespace

void AddSunSoftRows(MapperRows &rows)
{
    rows[67] = MapperRow{Init67, Write67, Line67, Validate67, nullptr};
    rows[68] = MapperRow{Init68, Write68, nullptr, nullptr, nullptr};
    rows[69] = MapperRow{Init69, Write69, Line69, Validate69, nullptr};
}

} // namespace Cindrel
