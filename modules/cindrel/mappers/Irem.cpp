// The Irem boards: 32 (8 KB program registers, $8000's bank at $8000 or
// $C000 by mode) and 65 (8 KB program and 1 KB pattern registers; its
// cycle timer is not emulated).
//
// MapperState, 32: 0 the FetchMap entry (4 or 6) $8000 switches.
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;

int Write32(uint16_t a, uint8_t v)
{
    switch (a & 0xF000) {
    case 0x8000: FetchMap[State[0]] = RomBank8(v); return 1;
    case 0x9000:
        State[0] = (v & 2) ? 6 : 4;
        MirrorBit(v);
        return 1;
    case 0xA000: FetchMap[5] = RomBank8(v); return 1;
    case 0xB000: Pattern1(a & 7, v); return 1;
    default: return 0;
    }
}

void Init32()
{
    State[0] = 4;
    if (VromBuffer)
        MapVideoPages(0, 7, VromBuffer);
}

const char *Validate32(const uint8_t *bytes) { return Sane(bytes[0] == 4 || bytes[0] == 6); }

int Write65(uint16_t a, uint8_t v)
{
    switch (a) {
    case 0x8000: case 0xA000: case 0xC000: FetchMap[a >> 13] = RomBank8(v); return 1;
    case 0x9003: case 0x9005: case 0x9006: return 1;
    default:
        if (a >= 0xB000 && a <= 0xB007) {
            Pattern1(a & 7, v);
            return 1;
        }
        return 0;
    }
}

} // namespace

void AddIremRows(MapperRows &rows)
{
    rows[32] = MapperRow{Init32, Write32, nullptr, Validate32, nullptr};
    rows[65].write = Write65;
}

} // namespace Cindrel
