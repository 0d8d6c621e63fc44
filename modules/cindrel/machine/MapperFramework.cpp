#include "modules/cindrel/machine/MapperFramework.h"

#include <cstring>

namespace Cindrel {

uint32_t RomMask;
uint32_t VromMask;
uint32_t RamMask;
uint8_t *PatternBuffer;
uint32_t PatternMask;

uint32_t PageMask(int count)
{
    uint32_t size = 1;
    while (int(size) < count)
        size <<= 1;
    return size - 1;
}

const MapperRow &MapperRowOf(int number)
{
    static const MapperRow none;
    return number >= 0 && size_t(number) < MapperTable.size() ? MapperTable[size_t(number)] : none;
}

bool MapperSupported(int number)
{
    const MapperRow &row = MapperRowOf(number);
    return number == 0 || row.init || row.write || row.line;
}

std::string UnsupportedMapperText(int number)
{
    return "Mapper " + std::to_string(number) + " is not supported; the game may not run";
}

void SetupMapper(int number)
{
    const MapperRow &row = MapperRowOf(number);
    MapperState.bytes[0] = 0;
    RomMask = PageMask(Cartridge.romPages);
    VromMask = PageMask(Cartridge.vromPages);
    RamMask = PageMask(Cartridge.ramPages);
    PatternBuffer = VromBuffer ? VromBuffer : PatternRamBuffer ? PatternRamBuffer : VideoSpace;
    PatternMask = VromBuffer ? VromMask : PageMask(Cartridge.patternRamPages);
    MapperWrite = row.write;
    MapperLine = row.line;
    MapperLineAfterDrawing = row.lineAfterDrawing;
    MapperRead = row.read;
    LineRenderer = PpuLineEntry; // the latch and MMC5 boards choose their own in init
    CpuPatternPages = VideoPageMap;
    PatternFetchWatch = nullptr;
    MapVideoPages(0, 7, PatternBuffer);
    FetchMap[3] = WorkRamPage(0);
    if (RomBuffer) {
        MapRom16(4, RomBuffer);
        MapRom16(6, LastRomBank16());
    }
    if (row.init)
        row.init();
}

} // namespace Cindrel
