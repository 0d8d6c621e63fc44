// The Taito board (33): two 8 KB program registers, two 2 KB and four 1 KB
// pattern registers.
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

namespace Cindrel {
namespace {

int Write33(uint16_t a, uint8_t v)
{
    switch (a & 0xF003) {
    case 0x8000: case 0x8001: FetchMap[4 + (a & 1)] = RomBank8(v); return 1;
    case 0x8002: case 0x8003: Pattern2(2 * (a & 1), 2u * v); return 1;
    case 0xA000: case 0xA001: case 0xA002: case 0xA003: Pattern1(4 + (a & 3), v); return 1;
    case 0xC000: case 0xC001: case 0xE000: return 1;
    default: return 0;
    }
}

void Init33()
{
    if (VromBuffer)
        MapVideoPages(0, 7, VromBuffer);
}

} // namespace

void AddTaitoRow(MapperRows &rows)
{
    rows[33].init = Init33;
    rows[33].write = Write33;
}

} // namespace Cindrel
