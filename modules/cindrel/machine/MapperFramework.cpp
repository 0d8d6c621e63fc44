#include "modules/cindrel/machine/MapperFramework.h"

#include <cstring>

namespace Cindrel {

uint32_t RomMask;
uint32_t VromMask;
uint32_t RamMask;

uint32_t PageMask(int count)
{
    uint32_t size = 1;
    while (int(size) < count)
        size <<= 1;
    return size - 1;
}

void SetupMapper(int number)
{
    const MapperRow &row = MapperTable[size_t(number) & 255];
    MapperState.bytes[0] = 0;
    RomMask = PageMask(Cartridge.romPages);
    VromMask = PageMask(Cartridge.vromPages);
    RamMask = PageMask(Cartridge.ramPages);
    MapperWrite = row.write;
    MapperLine = row.line;
    MapperRead = row.read;
    LineRenderer = PpuLineEntry; // the latch and MMC5 boards choose their own in init
    if (VromBuffer)
        MapVideoPages(0, 7, VromBuffer);
    if (RomBuffer) {
        MapRom16(4, RomBuffer);
        MapRom16(6, LastRomBank16());
    }
    if (row.init)
        row.init();
}

} // namespace Cindrel
