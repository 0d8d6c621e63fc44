// The cartridge header: the fields start-up prints, the complement check
// and the region and maker names. header is the start of the ROM image,
// at least 0xC0 bytes.
#pragma once

#include "modules/tavrin/machine/CartridgeServices.h"

#include <cstdint>
#include <string>

namespace Tavrin {

struct RegionRow {
    uint32_t letter;
    const char *name;
};
// Ten rows and a final {0, null} row, searched in order.
extern const RegionRow RegionTable[11];

struct MakerRow {
    char code[3];
    const char *name = nullptr; // null: the row is known by its code alone
};
// 104 rows and a final empty row; where a code stands twice the first wins.
extern const MakerRow MakerTable[105];

// The 12 title bytes, terminated, in a buffer the next call overwrites.
const char *GbaHeaderTitle(const uint8_t *header);
// Null when the region letter (byte 0xAF) or the maker code has no row.
const char *GbaRegionName(const uint8_t *header);
const char *GbaMakerName(const uint8_t *header);
// Bytes 0xAC-0xAF, the first character in the top byte.
uint32_t GbaGameCode(const uint8_t *header);

// The summary lines that PrintHeaderSummary puts on the console while
// LogFlags is non-zero.
std::string CartHeaderSummary(const uint8_t *header);

} // namespace Tavrin
