// The pattern-latch boards (9 and 10): each half of the pattern space has
// two 4 KB bank registers and a latch choosing between them, which flips
// when the picture processor fetches the last rows of tile $FD or $FE:
// while the latch renderers draw those tiles, and when $2007 reads there.
// The pointers the latches choose from live beside MapperState and are
// rebuilt from it after a state load.
//
// MapperState, mapper 9: 0-1 the banks of $D000 and $E000 (pages 4-7), 2-3
// those of $B000 and $C000 (pages 0-3), 4 the latch of pages 0-3. Mapper 10:
// 0-3 the banks of $B000, $C000 (pages 0-3), $D000, $E000 (4-7).
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;

// One half: its first pattern page, the MapperState bytes of the registers
// used after tiles $FD and $FE, its latch (0 after $FD, 1 after $FE) and
// the two pointers the latch chooses from.
struct LatchedHalf {
    int first;
    int fd, fe;
    uint8_t *latch;
    uint8_t **pages;
};

uint8_t *Mmc2LowPages[2];
const LatchedHalf Mmc2Low = {0, 2, 3, MapperState.bytes + 4, Mmc2LowPages};
const LatchedHalf Mmc2High = {4, 0, 1, &Latch9State, Latch9Pages};
const LatchedHalf Mmc4Low = {0, 0, 1, &Latch10LowState, Latch10LowPages};
const LatchedHalf Mmc4High = {4, 2, 3, &Latch10HighState, Latch10HighPages};

// The registers keep bank numbers within the pattern memory (4 KB units),
// so a state file holds only banks that exist.
uint8_t Masked(uint8_t v) { return uint8_t(v & (2 * PatternMask + 1)); }

void Rebuild(const LatchedHalf &h)
{
    h.pages[0] = PatternBank4(State[h.fd]);
    h.pages[1] = PatternBank4(State[h.fe]);
}

void Show(const LatchedHalf &h) { MapVideoPages(h.first, h.first + 3, h.pages[*h.latch & 1]); }

// The half takes a written bank at once when its latch selects the
// register: the board switches the pattern lines whatever the picture does.
void WriteBank(const LatchedHalf &h, bool fe, uint8_t v)
{
    State[fe ? h.fe : h.fd] = Masked(v);
    Rebuild(h);
    Show(h);
}

void SetLatch(const LatchedHalf &h, int value)
{
    *h.latch = uint8_t(value);
    Show(h);
}

void PowerOn(const LatchedHalf &h, uint8_t fd, uint8_t fe)
{
    State[h.fd] = Masked(fd);
    State[h.fe] = Masked(fe);
    *h.latch = 1;
    Rebuild(h);
    Show(h);
}

// The latch a fetch of the rows $xFD8-$xFDF or $xFE8-$xFEF sets, or -1.
int LatchOf(uint32_t a)
{
    switch (a & 0x0FF8) {
    case 0x0FD8: return 0;
    case 0x0FE8: return 1;
    default: return -1;
    }
}

// --- MMC2 ---

void RebuildLatch9()
{
    Rebuild(Mmc2Low);
    Rebuild(Mmc2High);
}

// Its low latch answers $0FD8 and $0FE8 only, the high one the whole rows.
void Watch9(uint32_t a)
{
    const int latch = LatchOf(a);
    if (latch < 0)
        return;
    if (a >= 0x1000)
        SetLatch(Mmc2High, latch);
    else if ((a & 7) == 0)
        SetLatch(Mmc2Low, latch);
}

int Write9(uint16_t a, uint8_t v)
{
    if (a < 0xA000)
        return 0;
    switch (a & 0xF000) {
    case 0xA000: FetchMap[4] = RomBank8(v); break;
    case 0xB000:
    case 0xC000: WriteBank(Mmc2Low, a >= 0xC000, v); break;
    case 0xD000:
    case 0xE000: WriteBank(Mmc2High, a >= 0xE000, v); break;
    default: MirrorBit(v); break;
    }
    return 1;
}

void Init9()
{
    PowerOn(Mmc2Low, 0, 0);
    PowerOn(Mmc2High, 1, 1);
    PatternFetchWatch = Watch9;
    LineRenderer = PpuLineEntryLatch9;
    const uint32_t pages = uint32_t(Cartridge.romPages);
    FetchMap[4] = RomBank16(0);
    FetchMap[5] = RomBank16(pages - 2) + 0x2000;
    MapRom16(6, LastRomBank16());
}

// --- MMC4 ---

void RebuildLatch10()
{
    Rebuild(Mmc4Low);
    Rebuild(Mmc4High);
}

void Watch10(uint32_t a)
{
    const int latch = LatchOf(a);
    if (latch >= 0)
        SetLatch(a >= 0x1000 ? Mmc4High : Mmc4Low, latch);
}

int Write10(uint16_t a, uint8_t v)
{
    if (a < 0xA000)
        return 0;
    switch (a & 0xF000) {
    case 0xA000: MapRom16(4, RomBank16(v)); break;
    case 0xB000:
    case 0xC000: WriteBank(Mmc4Low, a >= 0xC000, v); break;
    case 0xD000:
    case 0xE000: WriteBank(Mmc4High, a >= 0xE000, v); break;
    default: MirrorBit(v); break;
    }
    return 1;
}

void Init10()
{
    PowerOn(Mmc4Low, 0, 0);
    PowerOn(Mmc4High, 1, 1);
    PatternFetchWatch = Watch10;
    LineRenderer = PpuLineEntryLatch10;
}

// Bank numbers within the pattern memory (4 KB units).
const char *ValidBanks(const uint8_t *bytes)
{
    for (int i = 0; i < 4; ++i)
        if (bytes[i] > 2 * PatternMask + 1)
            return "a pattern bank beyond the pattern memory";
    return nullptr;
}
const char *Validate9(const uint8_t *bytes) { return bytes[4] > 1 ? Sane(false) : ValidBanks(bytes); }
const char *Validate10(const uint8_t *bytes) { return ValidBanks(bytes); }

} // namespace

void AddMmc2Mmc4Rows(MapperRows &rows)
{
    rows[9] = MapperRow{Init9, Write9, nullptr, Validate9, RebuildLatch9};
    rows[10] = MapperRow{Init10, Write10, nullptr, Validate10, RebuildLatch10};
}

} // namespace Cindrel
