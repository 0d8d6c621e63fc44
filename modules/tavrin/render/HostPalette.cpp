#include "modules/tavrin/render/HostPalette.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstring>

namespace Tavrin {

uint16_t HostPalette[512];
uint32_t HostPairs[32][256];
uint32_t ConsolePairs[32][256];
uint32_t BgHostGeneration = 0;
uint32_t PaletteGeneration = 0;

namespace {
uint16_t converted[512];
// Palette RAM as the last look at it found it, and the generation that
// converted holds.
uint16_t seen[512];
uint32_t convertedGeneration = ~0u;
bool wholePending = true;
bool consolePairsBuilt = false;

void FillPairs(uint32_t *pairs, const uint16_t *colors)
{
    for (uint32_t byte = 0; byte < 256; ++byte)
        pairs[byte] = colors[byte & 15] | uint32_t(colors[byte >> 4]) << 16;
}
} // namespace

void NotePaletteStores()
{
    if (!(RenderDirtyFlags & DirtyPalette))
        return;
    RenderDirtyFlags &= uint8_t(~DirtyPalette);
    if (std::memcmp(seen, BgPalette, sizeof seen) != 0) {
        std::memcpy(seen, BgPalette, sizeof seen);
        ++PaletteGeneration;
    }
}

void RefreshHostPalette(bool whole, bool needed)
{
    NotePaletteStores();
    wholePending |= whole;
    if (!needed)
        return;
    whole = wholePending;
    wholePending = false;
    if (!whole && convertedGeneration == PaletteGeneration)
        return;
    convertedGeneration = PaletteGeneration;
    // A console colour can change while its host colour stays (a host
    // table that merges colours): its bank's console pairs still follow.
    uint32_t changedConsoleBanks = consolePairsBuilt ? 0 : ~0u;
    consolePairsBuilt = true;
    for (int bank = 0; bank < 32; ++bank)
        if (std::memcmp(converted + bank * 16, BgPalette + bank * 16, 32) != 0)
            changedConsoleBanks |= 1u << bank;
    uint32_t changedBanks = 0;
    for (int i = 0; i < 512; ++i) {
        converted[i] = BgPalette[i];
        const uint16_t host = ColorToHostTable[converted[i]];
        if (host != HostPalette[i]) {
            HostPalette[i] = host;
            changedBanks |= 1u << (i >> 4);
        }
    }
    if (changedBanks & 0xFFFF)
        ++BgHostGeneration;
    for (; changedBanks; changedBanks &= changedBanks - 1) {
        const int bank = __builtin_ctz(changedBanks);
        FillPairs(HostPairs[bank], HostPalette + bank * 16);
    }
    for (; changedConsoleBanks; changedConsoleBanks &= changedConsoleBanks - 1) {
        const int bank = __builtin_ctz(changedConsoleBanks);
        FillPairs(ConsolePairs[bank], converted + bank * 16);
    }
}

} // namespace Tavrin
