// The CPU's view of memory: the 8 KB page table, the cartridge mapper at
// $FFFC-$FFFF, and every CPU store.
#include "common/zorvan/Console.h"
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineParts.h"

#include <cstring>

namespace Belcrest {

uint8_t *Z80PageTable[8];
uint8_t FrameDone;

namespace {

// $0000-$1FFF on the mapper machines: the mapper never moves the first 1 KB
// (the interrupt vectors stay on ROM page 0), so this view holds page 0's
// first 1 KB and the chosen page's next 7 KB.
alignas(64) uint8_t FirstPageView[0x2000];

void MapFirstRegion(unsigned page)
{
    uint8_t *const chosen = RomPageOrRam(page);
    std::memcpy(FirstPageView, RomPageOrRam(0), 0x400);
    std::memcpy(FirstPageView + 0x400, chosen + 0x400, 0x2000 - 0x400);
    Z80PageTable[0] = FirstPageView;
    Z80PageTable[1] = chosen + 0x2000;
}

uint8_t *CartRamPage(uint8_t control) { return CpuSpace.get() + ((control & 0x04) ? 0x8000 : 0x4000); }

void WriteMapper(unsigned reg, uint8_t v)
{
    MapperRegisters[reg] = v;
    if (VerboseFlags & 0x08)
        printConsole("SWITCH[%d] = %02Xh\n", reg, v);
    switch (reg) {
    case 0:
        RegionWritable[2] = (v & 0x08) ? 1 : 0;
        if (v & 0x08) {
            MapRegion(2, CartRamPage(v));
            const uint8_t page = (v & 0x04) ? 2 : 1;
            if (CartRamPagesUsed < page)
                CartRamPagesUsed = page;
        } else {
            MapRegion(2, RomPageOrRam(MapperRegisters[3]));
        }
        break;
    case 1:
        MapFirstRegion(v);
        break;
    case 2:
        MapRegion(1, RomPageOrRam(v));
        break;
    case 3:
        if (!(MapperRegisters[0] & 0x08))
            MapRegion(2, RomPageOrRam(v));
        break;
    }
}

} // namespace

uint8_t *RomPageOrRam(unsigned page)
{
    page &= RomPageMask;
    return RomPages[page] ? RomPages[page].get() : CpuSpace.get();
}

void MapRegion(unsigned region, uint8_t *base)
{
    Z80PageTable[2 * region] = base;
    Z80PageTable[2 * region + 1] = base + 0x2000;
}

void RebuildMemoryMap()
{
    uint8_t *const ram = CpuSpace.get();
    if (MachineWord & MachineHasMapper) {
        MapFirstRegion(MapperRegisters[1]);
        MapRegion(1, RomPageOrRam(MapperRegisters[2]));
        MapRegion(2, RegionWritable[2] ? CartRamPage(MapperRegisters[0]) : RomPageOrRam(MapperRegisters[3]));
        Z80PageTable[6] = Z80PageTable[7] = ram + 0xC000; // 8 KB of RAM, mirrored
        return;
    }
    MapRegion(0, RegionWritable[0] ? ram : RomPageOrRam(0));
    MapRegion(1, RegionWritable[1] ? ram + 0x4000 : RomPageOrRam(1));
    MapRegion(2, ram + 0x8000);
    MapRegion(3, ram + 0xC000);
}

void WriteMemory(uint16_t a, uint8_t v)
{
    if (a > 0xFFFB && (MachineWord & MachineHasMapper))
        WriteMapper(a & 3, v);
    const unsigned region = a >> 14;
    if (RegionWritable[region]) {
        if (region == 2 && (MachineWord & MachineHasEeprom)) {
            EepromWriteLines(MachineEeprom, v);
            v = EepromReadBit(MachineEeprom);
        }
        Z80PageTable[a >> 13][a & 0x1FFF] = v;
    } else if (region < 3 && (a & 0x3FFF) == 0 && (MachineWord & MachineAltMapper)) {
        MapRegion(region, RomPageOrRam(v));
    } else if (VerboseFlags & 0x02) {
        printConsole("WRITE %02Xh to %04Xh\n", v, a);
    }
}

} // namespace Belcrest
