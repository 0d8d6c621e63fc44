// The mapper dispatch: one row of handlers per mapper number, the setup
// that installs a row, the bank masks and the bank arithmetic every handler
// uses. A number without a row runs on the default mapping.
#pragma once

#include "modules/cindrel/machine/Machine.h"

#include <array>
#include <cstdint>

namespace Cindrel {

#pragma GCC visibility push(hidden)

struct MapperRow {
    void (*init)() = nullptr;          // power-on banks and its part of MapperState
    MapperWriteFn write = nullptr;     // non-zero when it took the write
    MapperLineFn line = nullptr;       // cycles since the last call in, carry out
    // Whether the 24 register bytes of a state file make sense for it;
    // null accepts any.
    bool (*validate)(const uint8_t *bytes) = nullptr;
    // Rebuilds what the mapper derives from MapperState after a state load.
    void (*afterLoad)() = nullptr;
    MapperReadFn read = nullptr;       // its registers in the I/O space
};

// Filled by the mapper families; tests may install rows of their own.
extern std::array<MapperRow, 256> MapperTable;

// Masks in pages of 16 KB (ROM), 8 KB (VROM) and 8 KB (RAM).
extern uint32_t RomMask;
extern uint32_t VromMask;
extern uint32_t RamMask;

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
inline uint8_t *VromBank1(uint32_t n) { return VromBuffer + ((n << 10) & ((VromMask << 13) | 0x1C00)); }
inline uint8_t *VromBank2(uint32_t n) { return VromBuffer + (((n & ~1u) << 10) & ((VromMask << 13) | 0x1800)); }
inline uint8_t *VromBank4(uint32_t n) { return VromBuffer + ((n << 12) & ((VromMask << 13) | 0x1000)); }
inline uint8_t *VromBank8(uint32_t n) { return VromBuffer + ((n & VromMask) << 13); }

// Maps 16 KB of ROM at FetchMap entries first, first + 1.
inline void MapRom16(int first, uint8_t *bank)
{
    FetchMap[first] = bank;
    FetchMap[first + 1] = bank + 0x2000;
}

#pragma GCC visibility pop

} // namespace Cindrel
