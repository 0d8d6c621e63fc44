// The mapper dispatch: one row of handlers per mapper number, the setup
// that installs a row, the bank masks and the bank arithmetic every handler
// uses. A number without a row runs on the default mapping.
#pragma once

#include "modules/cindrel/machine/Machine.h"

#include <array>
#include <cstdint>
#include <string>

namespace Cindrel {

#pragma GCC visibility push(hidden)

struct MapperRow {
    void (*init)() = nullptr;          // power-on banks and its part of MapperState
    MapperWriteFn write = nullptr;     // non-zero when it took the write
    MapperLineFn line = nullptr;       // cycles since the last call in, carry out
    // Why the 24 register bytes of a state file make no sense for it, or
    // null when they do; a null check accepts any.
    const char *(*validate)(const uint8_t *bytes) = nullptr;
    // Rebuilds what the mapper derives from MapperState after a state load.
    void (*afterLoad)() = nullptr;
    MapperReadFn read = nullptr;       // its registers in the I/O space
    bool lineAfterDrawing = false;     // see MapperLineAfterDrawing
};

// Filled by the mapper families; tests may install rows of their own.
extern std::array<MapperRow, 256> MapperTable;

// The row of a mapper number; an empty one for numbers without a row,
// those beyond the table included.
const MapperRow &MapperRowOf(int number);
// Whether the number has a row (0, the board without a mapper, counts).
bool MapperSupported(int number);
// What the console and the user are told about a number without a row.
std::string UnsupportedMapperText(int number);

// Masks in pages of 16 KB (ROM), 8 KB (VROM) and 8 KB (RAM).
extern uint32_t RomMask;
extern uint32_t VromMask;
extern uint32_t RamMask;
// The pattern memory banks come from: the pattern ROM, or the pattern RAM
// (VideoSpace's first 8 KB, or the larger buffer of a board that carries
// more); its mask in 8 KB pages.
extern uint8_t *PatternBuffer;
extern uint32_t PatternMask;

// Smallest power of two >= count, minus 1 (0 for 0 and 1).
uint32_t PageMask(int count);

// Installs the row of the number and maps the default banks.
void SetupMapper(int number);

inline uint8_t *RomBank8(uint32_t n) { return RomBuffer + ((n << 13) & ((RomMask << 14) | 0x2000)); }
inline uint8_t *RomBank16(uint32_t n) { return RomBuffer + ((n & RomMask) << 14); }
inline uint8_t *RomBank32(uint32_t n) { return RomBuffer + (((2 * n) & RomMask) << 14); }
inline uint8_t *LastRomBank16()
{
    return RomBuffer + ((uint32_t(Cartridge.romPages) * 0x4000 - 0x4000) & (RomMask << 14));
}
// Pattern ROM only, for boards that take name tables from it.
inline uint8_t *VromBank1(uint32_t n) { return VromBuffer + ((n << 10) & ((VromMask << 13) | 0x1C00)); }
// Pattern banks of 1, 2, 4 and 8 KB, from ROM or RAM alike.
inline uint8_t *PatternBank1(uint32_t n) { return PatternBuffer + ((n << 10) & ((PatternMask << 13) | 0x1C00)); }
inline uint8_t *PatternBank2(uint32_t n)
{
    return PatternBuffer + (((n & ~1u) << 10) & ((PatternMask << 13) | 0x1800));
}
inline uint8_t *PatternBank4(uint32_t n) { return PatternBuffer + ((n << 12) & ((PatternMask << 13) | 0x1000)); }
inline uint8_t *PatternBank8(uint32_t n) { return PatternBuffer + ((n & PatternMask) << 13); }

// What $6000-$7FFF reads where no RAM answers: a page past the last RAM
// page that nothing writes, holding the high byte of each address.
inline uint8_t *OpenBusPage() { return CpuSpace + 0xE000; }
// Work RAM page n at $6000, or the open bus on a board without RAM.
inline uint8_t *WorkRamPage(uint32_t n)
{
    return Cartridge.ramPages ? CpuSpace + 0x6000 + ((n & RamMask) << 13) : OpenBusPage();
}

// Whether a page is one of the board's work RAM pages.
inline bool IsWorkRam(const uint8_t *page)
{
    return page >= CpuSpace + 0x6000 && page < CpuSpace + 0x6000 + Cartridge.ramPages * 0x2000;
}

// Maps 16 KB of ROM at FetchMap entries first, first + 1.
inline void MapRom16(int first, uint8_t *bank)
{
    FetchMap[first] = bank;
    FetchMap[first + 1] = bank + 0x2000;
}

#pragma GCC visibility pop

} // namespace Cindrel
