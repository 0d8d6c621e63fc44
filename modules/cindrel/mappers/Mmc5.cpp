// Mapper 5: four program modes mixing RAM pages into the program space,
// sprite and background pattern banks in four sizes, extra RAM at $5C00,
// free name-table assignment with a fill table, a line-compare IRQ, a
// multiplier (read in the machine's read map) and a second sound unit.
//
// MapperState: 0-7 sprite pattern registers, 8-11 program registers
// ($5114-$5117), 12 program mode, 13 pattern mode, 14-15 the last $5102 and
// $5103 values, 16 extra-RAM mode, 17 RAM writing allowed, 18 writable-page
// map (bit n: FetchMap entry n holds RAM), 19 IRQ enable, 20 IRQ line,
// 21-22 multiplier operands, 23 status (bit 7 the line matched, unread;
// bit 0 the background set was written last). The background pattern
// registers ($5128-$512B) keep their own four bytes in the second sound
// unit's $80-$83 copies, which this board never writes.
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

#include <cstring>

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;
uint8_t *const Background = MapperState.sound.waveRegisters;
constexpr uint8_t LineMatched = 0x80, BackgroundSetLast = 0x01;

// The background set as $2007 sees it: the four 1 KB pages for both halves.
uint8_t *CpuBackgroundPages[8];

// The CPU-space page of RAM bank v; a bank no chip answers (8 in the table,
// or any bank on a board without RAM) reads the open bus.
uint8_t *RamPage(uint8_t v)
{
    static constexpr uint8_t pages[4][8] = {
        {0, 0, 0, 0, 8, 8, 8, 8}, {0, 0, 0, 0, 1, 1, 1, 1}, {0, 1, 2, 8, 8, 8, 8, 8}, {0, 1, 2, 3, 8, 8, 8, 8}};
    const int p = Cartridge.ramPages ? pages[(Cartridge.ramPages - 1) & 3][v & 7] : 8;
    return p == 8 ? OpenBusPage() : CpuSpace + 0x6000 + p * 0x2000;
}

void SetWritable(int entry, bool writable)
{
    State[18] = uint8_t(writable ? State[18] | (1 << entry) : State[18] & ~(1 << entry));
}

// RAM bank v at an entry, writable when a chip answers it.
void MapRam(int entry, uint8_t v)
{
    FetchMap[entry] = RamPage(v);
    SetWritable(entry, FetchMap[entry] != OpenBusPage());
}

// One 8 KB entry: RAM when bit 7 is clear, else ROM bank v & $7F.
void MapEntry(int entry, uint8_t v)
{
    if (v & 0x80) {
        SetWritable(entry, false);
        FetchMap[entry] = RomBank8(v & 0x7F);
    } else {
        MapRam(entry, v);
    }
}

void MapRomFrom8(int first, int count, uint32_t bank)
{
    for (int i = 0; i < count; ++i) {
        FetchMap[first + i] = RomBank8(bank + uint32_t(i));
        SetWritable(first + i, false);
    }
}

void WriteProgram(int reg, uint8_t v)
{
    State[8 + reg] = v;
    const int mode = State[12];
    switch (reg) {
    case 0:
        if (mode == 3)
            MapEntry(4, v);
        break;
    case 1:
        if (mode == 3) {
            MapEntry(5, v);
        } else if (mode != 0) {
            if (v & 0x80) {
                MapRomFrom8(4, 2, v & 2 * (RomMask & 63));
            } else {
                MapRam(4, v & 6);
                MapRam(5, uint8_t((v & 6) + 1));
            }
        }
        break;
    case 2:
        if (mode >= 2)
            MapEntry(6, v);
        break;
    default:
        if (mode == 0)
            MapRomFrom8(4, 4, v & 2 * (RomMask & 62));
        else if (mode == 1)
            MapRomFrom8(6, 2, v & 2 * (RomMask & 63));
        else
            MapRomFrom8(7, 1, v & 0x7F);
        break;
    }
}

// Banks within a group of n + 1 pages count on from (register << s),
// within the 256 KB the board addresses.
int GroupMask(int mode) { return (8 >> mode) - 1; }
int BackgroundMask(int mode) { return GroupMask(mode) == 7 ? 3 : GroupMask(mode); }

// $2007 reaches pattern memory through the set written last.
void SelectCpuSet(bool background)
{
    State[23] = uint8_t(background ? State[23] | BackgroundSetLast : State[23] & ~BackgroundSetLast);
    for (int i = 0; i < 8; ++i)
        CpuBackgroundPages[i] = Mmc5BgPages[i & 3];
    CpuPatternPages = background ? CpuBackgroundPages : VideoPageMap;
}

void RebuildBackground()
{
    const int m = State[13] & 3, n = BackgroundMask(m), s = 3 - m;
    for (int i = 0; i < 4; ++i)
        Mmc5BgPages[i] = PatternBank1(uint32_t((i & n) + (Background[i | n] << s)) & 255);
    SelectCpuSet(State[23] & BackgroundSetLast);
}

void RebuildSprites()
{
    const int m = State[13] & 3, n = GroupMask(m), s = 3 - m;
    for (int i = 0; i < 8; ++i)
        VideoPageMap[i] = PatternBank1(uint32_t((i & n) + (State[i | n] << s)) & 255);
}

void WriteSprite(int r, uint8_t v)
{
    State[r] = v;
    SelectCpuSet(false);
    const int m = State[13] & 3, n = GroupMask(m), s = 3 - m;
    if ((r & n) != n)
        return;
    const uint32_t b = uint32_t(v << s);
    for (int j = 0; j <= n; ++j)
        VideoPageMap[(r & ~n) + j] = PatternBank1((b + uint32_t(j)) & 255);
}

void WriteBackground(int r, uint8_t v)
{
    Background[r] = v;
    const int m = State[13] & 3, n = BackgroundMask(m), s = 3 - m;
    if ((r & n) == n) {
        const uint32_t b = uint32_t(v << s);
        for (int j = 0; j <= n; ++j)
            Mmc5BgPages[(r & ~n) + j] = PatternBank1((b + uint32_t(j)) & 255);
    }
    SelectCpuSet(true);
}

void SetExtraRamMode(uint8_t mode)
{
    State[16] = mode & 3;
    Mmc5ExAttributes = State[16] == 1 ? CpuSpace + 0x5C00 : nullptr;
}

int Write5(uint16_t a, uint8_t v)
{
    if (a >= 0x5C00 && a < 0x6000) {
        CpuSpace[a] = v;
        return 1;
    }
    if (a >= 0x6000 && a < 0xE000) {
        uint8_t *page = FetchMap[a >> 13];
        if (State[17] && (State[18] >> (a >> 13) & 1) && IsWorkRam(page))
            page[a & 0x1FFF] = v;
        return 1;
    }
    if (a >= 0x5120 && a <= 0x5127) {
        WriteSprite(a - 0x5120, v);
        return 1;
    }
    if (a >= 0x5128 && a <= 0x512B) {
        WriteBackground(a - 0x5128, v);
        return 1;
    }
    switch (a) {
    case 0x5000: case 0x5002: case 0x5003: case 0x5004: case 0x5006: case 0x5007: case 0x5015:
        CpuSpace[0x5015] = ApuWrite(MapperState.sound, a & 255, v);
        return 1;
    case 0x5010: case 0x5130: case 0x5200: return 1;
    case 0x5100:
        if ((v & 3) != State[12]) {
            State[12] = v & 3;
            for (int r = 0; r < 4; ++r)
                WriteProgram(r, State[8 + r]);
        }
        return 1;
    case 0x5101:
        if ((v & 3) != State[13]) {
            State[13] = v & 3;
            RebuildSprites();
            RebuildBackground();
        }
        State[13] = v & 3;
        return 1;
    case 0x5102: case 0x5103:
        State[14 + (a & 1)] = v;
        State[17] = State[14] == 2 && State[15] == 1;
        return 1;
    case 0x5104: SetExtraRamMode(v); return 1;
    case 0x5105:
        for (int k = 0; k < 4; ++k)
            SetNameTablePage(k, VideoSpace + 0x2000 + ((v >> (2 * k)) & 3) * 0x400);
        return 1;
    // The fill table lives in the fourth table's memory, which on a
    // four-screen cartridge is the game's own.
    case 0x5106:
        if (Cartridge.mirroring != 4)
            std::memset(VideoSpace + 0x2C00, v, 960);
        return 1;
    case 0x5107:
        if (Cartridge.mirroring != 4)
            std::memset(VideoSpace + 0x2FC0, (v & 3) * 0x55, 64);
        return 1;
    case 0x5113: FetchMap[3] = RamPage(v); return 1;
    case 0x5114: case 0x5115: case 0x5116: case 0x5117: WriteProgram(a - 0x5114, v); return 1;
    case 0x5203: State[20] = v; return 1;
    case 0x5204:
        State[19] = v >> 7;
        if (!(v & 0x80))
            ClearIrq();
        return 1;
    case 0x5205: case 0x5206: State[21 + (a - 0x5205)] = v; return 1;
    default: return 0;
    }
}

// The line-interrupt status, the multiplier and the extra RAM. The status
// shows the match (bit 7, cleared by the read, which also acknowledges the
// IRQ) and whether the picture is being drawn (bit 6).
int Read5(uint16_t a)
{
    if (a == 0x5204) {
        const bool drawing = (PpuRegisters[1] & 0x18) && CurrentLine < 240;
        const int status = (State[23] & LineMatched) | (drawing ? 0x40 : 0);
        State[23] &= uint8_t(~LineMatched);
        ClearIrq();
        return status;
    }
    if (a == 0x5205 || a == 0x5206) {
        const unsigned product = unsigned(State[21]) * State[22];
        return (a == 0x5205 ? product : product >> 8) & 0xFF;
    }
    if (a >= 0x5C00)
        return CpuSpace[a];
    return -1;
}

int32_t Line5(int32_t)
{
    if (CurrentLine != State[20])
        return 0;
    State[23] |= LineMatched;
    if (State[19])
        RaiseIrq();
    return 0;
}

void Init5()
{
    std::memset(State, 0, 24);
    State[9] = 1;
    State[10] = 0xFE;
    State[11] = 0xFF;
    State[12] = State[13] = 3;
    State[18] = 8;
    CpuSpace[0x5015] = ApuReset(MapperState.sound, 5 + (Cartridge.pal ? 0x10000 : 0));
    std::memset(Background, 0, 4);
    SetExtraRamMode(3);
    // All at the start of VROM; pattern RAM keeps its own pages.
    PatternPagesAtVromStart();
    for (int i = 0; i < 4; ++i)
        Mmc5BgPages[i] = VideoPageMap[i];
    SelectCpuSet(false);
    Mmc5ChrBase = PatternBuffer;
    Mmc5ChrMask = 0x1FFF | ((PatternMask & 31) << 13);
    LineRenderer = PpuLineEntryMmc5;
    for (int i = 4; i < 8; ++i)
        FetchMap[i] = LastRomBank16() + 0x2000;
}

void AfterLoad5()
{
    SetExtraRamMode(State[16]);
    RebuildBackground();
}

const char *Validate5(const uint8_t *bytes)
{
    return Sane(bytes[12] <= 3 && bytes[13] <= 3 && bytes[16] <= 3 && (bytes[18] & 7) == 0 && bytes[17] <= 1 &&
                bytes[19] <= 1 && (bytes[23] & 0x7E) == 0);
}

} // namespace

void AddMmc5Row(MapperRows &rows) { rows[5] = MapperRow{Init5, Write5, Line5, Validate5, AfterLoad5, Read5}; }

} // namespace Cindrel
