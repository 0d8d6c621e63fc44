// The console's memory layout: which host block appears where, with its
// mirrors. The machine allocates the blocks; this maps them.
#pragma once

#include <cstdint>

namespace Tavrin {

struct ConsoleBlocks {
    uint8_t *bios = nullptr;     // 16 KB
    uint8_t *ewram = nullptr;    // 256 KB
    uint8_t *iwram = nullptr;    // 32 KB
    uint8_t *io = nullptr;       // 16 KB
    uint8_t *palette = nullptr;  // 16 KB
    uint8_t *vram = nullptr;     // 96 KB
    uint8_t *oam = nullptr;      // 16 KB
    uint8_t *saveRam = nullptr;  // at least 64 KB
    uint8_t *cart = nullptr;     // cartSize bytes, a multiple of 16 KB, at most 32 MB
    uint32_t cartSize = 0;
};

inline constexpr uint32_t BiosSize = 0x4000;
inline constexpr uint32_t EwramSize = 0x40000;
inline constexpr uint32_t IwramSize = 0x8000;
inline constexpr uint32_t IoSize = 0x4000;
inline constexpr uint32_t PaletteSize = 0x4000;
inline constexpr uint32_t VramSize = 0x18000;
inline constexpr uint32_t OamSize = 0x4000;
inline constexpr uint32_t SaveBankSize = 0x10000;
inline constexpr uint32_t MaxCartSize = 0x2000000;

// Clears both page tables to DummyPage, then maps every block that is given;
// a missing block leaves its region on DummyPage. Sets IoPage.
void MapConsoleMemory(const ConsoleBlocks &blocks);

} // namespace Tavrin
