// The boards whose whole state is one latched value: each write decodes
// address and value into program and pattern banks (and sometimes
// mirroring) at once. No counters, no line handler.
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

namespace Cindrel {
namespace {

// The first 32 KB of ROM (the first 16 KB twice on a one-page image).
void MapFirst32()
{
    MapRom16(4, RomBank16(0));
    MapRom16(6, RomBank16(1));
}

// The value a latch on $8000-$FFFF sees: where the ROM drives the bus too
// (an NES 2.0 header's submapper 2 on the boards that name conflicts), the
// written value ANDed with the ROM byte there.
uint8_t Latched(uint16_t a, uint8_t v)
{
    if (Cartridge.submapper != 2 || a < 0x8000)
        return v;
    return uint8_t(v & FetchMap[a >> 13][a & 0x1FFF]);
}

// 16 KB bank at $8000 or $C000 with the two 8 KB halves traded when swap.
void MapRom16Halves(int first, uint32_t bank, bool swap)
{
    uint8_t *p = RomBank16(bank);
    FetchMap[first] = swap ? p + 0x2000 : p;
    FetchMap[first + 1] = swap ? p : p + 0x2000;
}

int Write2(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    MapRom16(4, RomBank16(Latched(a, v)));
    return 1;
}

int Write3(uint16_t a, uint8_t v)
{
    if (a < 0x4100)
        return 0;
    Pattern8(Latched(a, v));
    return 1;
}

int Write6(uint16_t a, uint8_t v)
{
    if (a != 0x8000)
        return 0;
    uint8_t &base = MapperState.bytes[0];
    if (v & 0x20) {
        base = v & 0x1C;
        return 1;
    }
    MapRom16(4, RomBank16(v >> 2));
    const uint32_t unit = (((v & 3) + base) & 255) & (2 * PatternMask);
    MapVideoPages(0, 7, PatternBuffer + (unit << 12));
    return 1;
}

int Write7(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    v = Latched(a, v);
    Rom32At16(2 * (v & 15));
    uint8_t *table = VideoSpace + ((v & 0x10) ? 0x2400 : 0x2000);
    for (int slot = 0; slot < 4; ++slot)
        SetNameTablePage(slot, table);
    return 1;
}

int Write8(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    Pattern8(v);
    MapRom16(4, RomBank16(v >> 3));
    return 1;
}

int Write11(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    Rom32At16(2 * (v & 15));
    Pattern8(v >> 4);
    return 1;
}

int Write13(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    Rom32At16(2 * ((v >> 4) & (RomMask >> 1)));
    Pattern4(1, v & 15);
    return 1;
}

void Init13()
{
    MapRom16(4, RomBank16(0));
    MapRom16(6, RomBank16(RomMask & 1));
    Pattern4(0, 0);
    Pattern4(1, VromBuffer ? 0 : 1);
}

int Write15(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    const uint32_t b = v & 63;
    const bool swap = v & 0x80;
    switch (a & 3) {
    case 0:
        MirrorBit(v >> 6);
        MapRom16Halves(4, b, swap);
        MapRom16Halves(6, b + 1, swap);
        break;
    case 1:
        MapRom16Halves(6, b, swap);
        break;
    case 2: {
        uint8_t *half = RomBank16(b) + (swap ? 0x2000 : 0);
        for (int i = 4; i < 8; ++i)
            FetchMap[i] = half;
        break;
    }
    default:
        MirrorBit(v >> 6);
        MapRom16Halves(6, b, swap);
        break;
    }
    return 1;
}

// Two boards share number 34: the one with pattern ROM has its registers
// at $7FFD-$7FFF over the work RAM, which keeps the written values too;
// the one with pattern RAM latches 32 KB banks at $8000-$FFFF. An NES 2.0
// submapper (1 or 2) names the board outright.
bool RegistersOverRam()
{
    return Cartridge.submapper == 1 || (Cartridge.submapper != 2 && VromBuffer);
}

int Write34(uint16_t a, uint8_t v)
{
    if (!RegistersOverRam()) {
        if (a < 0x8000)
            return 0;
        Rom32At16(2u * v);
        return 1;
    }
    if (a == 0x7FFD)
        Rom32At16(2u * v);
    else if (a == 0x7FFE)
        Pattern4(0, v);
    else if (a == 0x7FFF)
        Pattern4(1, v);
    return 0;
}

int Write66(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    Rom32At16(2 * ((v >> 4) & (RomMask >> 1)));
    Pattern8(v & 15);
    return 1;
}

int Write71(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    if (a >= 0xC000)
        MapRom16(4, RomBank16(v));
    return 1;
}

// The board of NES 2.0 submapper 3 uses bit 3 for its mirroring (set:
// vertical) and three bits for the program bank; the others take four.
int Write78(uint16_t a, uint8_t v)
{
    if (a < 0x8000)
        return 0;
    if (Cartridge.submapper == 3) {
        MapRom16(4, RomBank16(v & 7));
        SetMirroring((v >> 3) & 1);
    } else {
        MapRom16(4, RomBank16(v & 15));
    }
    Pattern8(v >> 4);
    return 1;
}

int Write79(uint16_t a, uint8_t v)
{
    if (!(a & 0x100))
        return 0;
    Rom32At16(2 * ((v >> 3) & (RomMask >> 1)));
    Pattern8(v & 7);
    return 1;
}

// The board of number 81 latches the address, not the value: bits 0-1 an
// 8 KB pattern bank, bits 2-3 the 16 KB bank at $8000; $C000 stays on the
// last 16 KB.
int Write81(uint16_t a, uint8_t)
{
    if (a < 0x8000)
        return 0;
    Pattern8(a & 3);
    MapRom16(4, RomBank16((a >> 2) & 3));
    return 1;
}

void Init81()
{
    MapRom16(4, RomBank16(0));
    MapRom16(6, LastRomBank16());
    Pattern8(0);
}

// $6000-$6003: 2 KB pattern banks; $7000/$7001: 8 KB at $8000/$A000. The
// board's IRQ registers ($7002/$7003) are taken and not emulated.
int Write91(uint16_t a, uint8_t v)
{
    switch (a & 0xF003) {
    case 0x6000: case 0x6001: case 0x6002: case 0x6003:
        Pattern2(2 * (a & 3), 2u * v);
        return 1;
    case 0x7000: case 0x7001:
        FetchMap[4 + (a & 1)] = RomBank8(v);
        return 1;
    case 0x7002: case 0x7003:
        return 1;
    default:
        return 0;
    }
}

const char *Validate6(const uint8_t *bytes) { return Sane((bytes[0] & ~0x1C) == 0); }

} // namespace

void AddDiscreteRows(MapperRows &rows)
{
    struct Entry {
        int number;
        void (*init)();
        MapperWriteFn write;
    };
    const Entry entries[] = {
        {2, nullptr, Write2},       {3, nullptr, Write3},       {6, nullptr, Write6},
        {7, nullptr, Write7},       {8, MapFirst32, Write8},    {11, nullptr, Write11},
        {13, Init13, Write13},      {15, MapFirst32, Write15},  {34, nullptr, Write34},
        {66, nullptr, Write66},     {71, nullptr, Write71},     {78, nullptr, Write78},
        {79, MapFirst32, Write79},  {81, Init81, Write81},      {91, nullptr, Write91},
    };
    for (const Entry &e : entries) {
        rows[size_t(e.number)].init = e.init;
        rows[size_t(e.number)].write = e.write;
    }
    rows[6].validate = Validate6;
}

} // namespace Cindrel
