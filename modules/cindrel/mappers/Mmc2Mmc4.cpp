// The pattern-latch boards (9 and 10): registers hold two 4 KB banks per
// half, and the latch renderers flip between them as they draw the latch
// tiles. The pointers they choose from live beside MapperState and are
// rebuilt from it after a state load.
//
// MapperState, mapper 9: 0-1 the banks of $D000 and $E000 (pages 4-7).
// Mapper 10: 0-3 the banks of $B000, $C000 (pages 0-3), $D000, $E000 (4-7).
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;

// A 4 KB bank for one half, the fixed half of pattern RAM without VROM.
uint8_t *Half(int half, uint32_t n) { return VromBuffer ? VromBank4(n) : VideoSpace + half * 0x1000; }

// The registers keep bank numbers within the pattern ROM (4 KB units), so
// a state file holds only banks that exist.
uint8_t Masked(uint8_t v) { return uint8_t(v & (2 * VromMask + 1)); }

// --- MMC2 ---

void RebuildLatch9()
{
    Latch9Pages[0] = Half(1, State[0]);
    Latch9Pages[1] = Half(1, State[1]);
}

int Write9(uint16_t a, uint8_t v)
{
    if (a < 0xA000)
        return 0;
    switch (a & 0xF000) {
    case 0xA000: FetchMap[4] = RomBank8(v); break;
    case 0xB000:
    case 0xC000: Pattern4(0, v); break;
    case 0xD000:
    case 0xE000:
        State[(a >> 12) - 0xD] = Masked(v);
        RebuildLatch9();
        break;
    default: MirrorBit(v); break;
    }
    return 1;
}

void Init9()
{
    State[0] = State[1] = 1;
    RebuildLatch9();
    Latch9State = 1;
    LineRenderer = PpuLineEntryLatch9;
    const uint32_t pages = uint32_t(Cartridge.romPages);
    FetchMap[4] = RomBank16(0);
    FetchMap[5] = RomBank16(pages - 2) + 0x2000;
    MapRom16(6, LastRomBank16());
}

// --- MMC4 ---

void RebuildLatch10()
{
    Latch10LowPages[0] = Half(0, State[0]);
    Latch10LowPages[1] = Half(0, State[1]);
    Latch10HighPages[0] = Half(1, State[2]);
    Latch10HighPages[1] = Half(1, State[3]);
}

int Write10(uint16_t a, uint8_t v)
{
    if (a < 0xA000)
        return 0;
    const int reg = (a >> 12) - 0xB; // 0-3 for $B000-$E000
    switch (a & 0xF000) {
    case 0xA000: MapRom16(4, RomBank16(v)); break;
    case 0xF000: MirrorBit(v); break;
    default:
        State[reg] = Masked(v);
        RebuildLatch10();
        // The half takes the bank at once when its latch selects it.
        if (reg < 2 && Latch10LowState == reg)
            MapVideoPages(0, 3, Latch10LowPages[reg]);
        if (reg >= 2 && Latch10HighState == reg - 2)
            MapVideoPages(4, 7, Latch10HighPages[reg - 2]);
        break;
    }
    return 1;
}

void Init10()
{
    State[0] = State[1] = 0;
    State[2] = State[3] = 1;
    RebuildLatch10();
    Latch10LowState = Latch10HighState = 1;
    LineRenderer = PpuLineEntryLatch10;
}

// Bank numbers within the pattern ROM (4 KB units).
bool ValidBanks(const uint8_t *bytes, int count)
{
    for (int i = 0; i < count; ++i)
        if (bytes[i] > 2 * VromMask + 1)
            return false;
    return true;
}
bool Validate9(const uint8_t *bytes) { return ValidBanks(bytes, 2); }
bool Validate10(const uint8_t *bytes) { return ValidBanks(bytes, 4); }

} // namespace

void AddMmc2Mmc4Rows(MapperRows &rows)
{
    rows[9] = MapperRow{Init9, Write9, nullptr, Validate9, RebuildLatch9};
    rows[10] = MapperRow{Init10, Write10, nullptr, Validate10, RebuildLatch10};
}

} // namespace Cindrel
