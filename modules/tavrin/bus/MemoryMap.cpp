#include "modules/tavrin/bus/MemoryMap.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/bus/OpenBus.h"

#include <cstring>
#include <initializer_list>

namespace Tavrin {

namespace {

// Past the image the cartridge bus reads back the address it was sent: the
// halfword at a is bits 16-1 of a. That repeats every 128 KB, eight pages
// that every window maps in turn; stores into the cartridge reach nothing
// and cannot change them.
constexpr uint32_t PastImageBytes = 0x20000;
alignas(8) uint8_t PastImagePages[PastImageBytes];

struct FilledPastImage {
    FilledPastImage()
    {
        for (uint32_t a = 0; a < PastImageBytes; a += 2) {
            const uint16_t half = uint16_t(a >> 1);
            std::memcpy(PastImagePages + a, &half, 2);
        }
    }
} filledPastImage;

} // namespace

void MapConsoleMemory(const ConsoleBlocks &b)
{
    constexpr uint32_t Region = 0x01000000;
    BusClearMap();
    // Nothing the renderer decoded from the old blocks holds for the new.
    RenderDirtyFlags |= DirtyWholeMemory;
    // Loads and fetches of unmapped memory see the open bus; its stores keep
    // going to the dummy page.
    ResetOpenBus();
    for (uint32_t page = BiosSize / PageSize; page < (0x02000000 >> PageShift); ++page)
        ReadPageTable[page] = OpenBusPage;
    for (uint32_t page = 0x10000000 >> PageShift; page < PageCount; ++page)
        ReadPageTable[page] = OpenBusPage;
    if (b.bios)
        MapPages(b.bios, BiosSize, 0x00000000, BiosSize, false);
    if (b.ewram)
        MapPages(b.ewram, EwramSize, 0x02000000, Region, true);
    if (b.iwram)
        MapPages(b.iwram, IwramSize, 0x03000000, Region, true);
    if (b.io)
        MapPages(b.io, IoSize, 0x04000000, IoSize, true);
    IoPage = b.io;
    if (b.palette)
        MapPages(b.palette, PaletteSize, 0x05000000, Region, true);
    if (b.vram) {
        // Each 128 KB window shows the first 64 KB, then the last 32 KB twice.
        for (uint32_t base = 0x06000000; base < 0x07000000; base += 0x20000) {
            MapPages(b.vram, 0x10000, base, 0x10000, true);
            MapPages(b.vram + 0x10000, 0x8000, base + 0x10000, 0x10000, true);
        }
    }
    if (b.oam)
        MapPages(b.oam, OamSize, 0x07000000, Region, true);
    if (b.saveRam)
        MapPages(b.saveRam, SaveBankSize, 0x0E000000, 2 * Region, true);
    EepromWindowStart = 0x0D000000;
    if (b.cart && b.cartSize) {
        uint32_t size = b.cartSize > MaxCartSize ? MaxCartSize : b.cartSize & ~(PageSize - 1);
        // The address pattern fills each 32 MB window up to the EEPROM,
        // whose window keeps the dummy page: its DMA reads see the bits
        // there. The image then goes over the pattern.
        for (uint32_t base : {0x08000000u, 0x0A000000u, 0x0C000000u}) {
            const uint32_t end = base == 0x0C000000 && size <= 0x01000000 ? 0x0D000000 : base + 0x02000000;
            MapPages(PastImagePages, PastImageBytes, base, end - base, false);
            MapPages(b.cart, size, base, size, false);
        }
        // An image over 16 MB leaves the EEPROM only the last 256 bytes of
        // region 0xD; their page shows the EEPROM's echo, not the image.
        if (size > 0x01000000) {
            EepromWindowStart = 0x0DFFFF00;
            MapPages(DummyPage, PageSize, 0x0DFFC000, PageSize, false);
        }
    }
}

} // namespace Tavrin
