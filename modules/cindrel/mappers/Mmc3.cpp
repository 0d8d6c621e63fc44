// The scan-line counting board (4) and its relative RAMBO-1 (64) over one
// piece of bank code: a select byte at $8000 names the register $8001
// fills; bit 7 of the select trades the 2 KB and 1 KB pattern halves, bit 6
// the program banks at $8000 and $C000.
//
// MapperState, mapper 4: 0 select, 1 IRQ latch, 2-9 R0-R7, 10 RAM control
// (bit 7 enable, bit 6 write protect), 11 IRQ enable, 12 IRQ counter. Mapper 64: 0 select,
// 1 latch, 2-17 R0-R15, 18 IRQ enable, 19 IRQ counter.
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

#include <cstring>

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;
uint8_t *const R = MapperState.bytes + 2;

// Pattern registers R0-R5: with select bit 7 clear pages 0-3 hold the two
// 2 KB banks and 4-7 the four 1 KB banks; set, the halves trade places.
void MapPatternRegister(int r, uint8_t v, bool swapped)
{
    if (r < 2)
        Pattern2((swapped ? 4 : 0) + 2 * r, v);
    else
        Pattern1(r - 2 + (swapped ? 0 : 4), v);
}

void MapAllPatterns(bool swapped)
{
    for (int r = 0; r < 6; ++r)
        MapPatternRegister(r, R[r], swapped);
}

// Power-on pattern pages: all at the start of VROM, 1 and 3 one KB on.
void InitPatterns()
{
    if (!VromBuffer)
        return;
    for (int i = 0; i < 8; ++i)
        VideoPageMap[i] = VromBuffer + ((i & 1) ? 0x400 : 0);
}

// Common to both boards: a bit-7 change of the select rebuilds the pattern
// pages; $8001 registers 0-5 set pattern banks.
void WriteSelectPatterns(uint8_t value)
{
    if ((value ^ State[0]) & 0x80)
        MapAllPatterns(value & 0x80);
}

// Whether the picture processor fetches patterns so that A12 rises once a
// line: rendering on, and 8x16 sprites or the two halves apart.
bool LineCounts()
{
    const uint8_t control = PpuRegisters[0];
    return (PpuRegisters[1] & 0x18) && ((control & 0x20) || (((control >> 3) ^ (control >> 4)) & 1));
}

// The register layout one board keeps in MapperState, and what differs.
struct Board {
    uint8_t selectMask; // bits of the select byte naming the register
    int latch, counter, enable;
    void (*mapProgram)();
    void (*otherRegister)(int r); // $8001 with r 6 and up
    void (*writeA001)(uint8_t v);
};

// $8000-$FFFF, by address & $E001, for both boards.
int WriteBoard(const Board &board, uint16_t a, uint8_t v)
{
    switch (a & 0xE001) {
    case 0x8000: {
        const bool programChanged = (v ^ State[0]) & 0x40;
        WriteSelectPatterns(v);
        State[0] = v;
        if (programChanged)
            board.mapProgram();
        break;
    }
    case 0x8001: {
        const int r = State[0] & board.selectMask;
        R[r] = v;
        if (r < 6)
            MapPatternRegister(r, v, State[0] & 0x80);
        else
            board.otherRegister(r);
        break;
    }
    case 0xA000: MirrorBit(v); break;
    case 0xA001: board.writeA001(v); break;
    case 0xC000: State[board.latch] = State[board.counter] = v; break;
    case 0xC001: State[board.counter] = State[board.latch]; break;
    case 0xE000:
        State[board.enable] = 0;
        ClearIrq();
        break;
    default: State[board.enable] = 1; break;
    }
    return 1;
}

// --- MMC3 ---

void MapMmc3Program()
{
    const bool swapped = State[0] & 0x40;
    FetchMap[swapped ? 6 : 4] = RomBank8(R[6]);
    FetchMap[5] = RomBank8(R[7]);
    FetchMap[swapped ? 4 : 6] = LastRomBank16();
    FetchMap[7] = LastRomBank16() + 0x2000;
}

// $A001: bit 7 enables the RAM (disabled, $6000 reads the open bus), bit 6
// protects it from writes.
void WriteRamControl(uint8_t v)
{
    State[10] = v & 0xC0;
    FetchMap[3] = (v & 0x80) ? WorkRamPage(0) : OpenBusPage();
}

const Board Mmc3Board = {7, 1, 12, 11, MapMmc3Program, [](int) { MapMmc3Program(); }, WriteRamControl};

int WriteMmc3(uint16_t a, uint8_t v)
{
    if (a < 0x6000)
        return 0;
    if (a < 0x8000) // the machine stores it through $6000's page
        return (State[10] & 0xC0) == 0x80 ? 0 : 1;
    return WriteBoard(Mmc3Board, a, v);
}

// A counter at 0 raises the IRQ and reloads from the latch, so splits
// repeat every latch + 1 lines. The counter sees the sprite pattern
// fetches that follow each line's visible part: the line step hands the
// request to the CPU as it returns, so the handler runs in the horizontal
// blank before the next line, as on the console.
int32_t LineMmc3(int32_t)
{
    if (!State[11] || !LineCounts())
        return 0;
    if (State[12] == 0) {
        RaiseIrq();
        State[12] = State[1];
    } else {
        --State[12];
    }
    return 0;
}

// Cartridge RAM is writable from power-on: a battery game that never
// writes $A001 must still save.
void InitMmc3()
{
    std::memset(State, 0, 13);
    State[10] = 0x80;
    InitPatterns();
    FetchMap[4] = FetchMap[5] = RomBank8(0);
    MapRom16(6, LastRomBank16());
}

const char *ValidateMmc3(const uint8_t *bytes) { return Sane((bytes[10] & 0x3F) == 0 && bytes[11] <= 1); }

// --- RAMBO-1 ---

// R6 and R15 trade $8000 and $C000 on select bit 6; R7 stays at $A000.
void MapRamboProgram()
{
    const bool swapped = State[0] & 0x40;
    FetchMap[swapped ? 6 : 4] = RomBank8(R[6]);
    FetchMap[5] = RomBank8(R[7]);
    FetchMap[swapped ? 4 : 6] = RomBank8(R[15]);
}

// R8 and R9 land on pages 1 and 3 whatever bit 7 says; 10-14 map nothing.
void RamboRegister(int r)
{
    if (r == 8 || r == 9)
        Pattern1(r == 8 ? 1 : 3, R[r]);
    else if (r == 6 || r == 7 || r == 15)
        MapRamboProgram();
}

const Board RamboBoard = {15, 1, 19, 18, MapRamboProgram, RamboRegister, [](uint8_t) {}};

int WriteRambo(uint16_t a, uint8_t v) { return a < 0x8000 ? 0 : WriteBoard(RamboBoard, a, v); }

int32_t LineRambo(int32_t)
{
    const uint8_t control = PpuRegisters[0];
    if (!State[18] || !(PpuRegisters[1] & 0x18) || !(((control >> 3) ^ (control >> 4)) & 1))
        return 0;
    if (--State[19] == 0)
        RaiseIrq();
    return 0;
}

void InitRambo()
{
    std::memset(State, 0, 20);
    InitPatterns();
    for (int i = 4; i < 8; ++i)
        FetchMap[i] = LastRomBank16() + 0x2000;
}

const char *ValidateRambo(const uint8_t *bytes) { return Sane(bytes[18] <= 1); }

} // namespace

void AddMmc3Rows(MapperRows &rows)
{
    rows[4] = MapperRow{InitMmc3, WriteMmc3, LineMmc3, ValidateMmc3, nullptr, nullptr, true};
    rows[64] = MapperRow{InitRambo, WriteRambo, LineRambo, ValidateRambo, nullptr};
}

} // namespace Cindrel
