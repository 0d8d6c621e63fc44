#include "modules/tavrin/render/HostPalette.h"

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstring>

namespace Tavrin {

uint16_t HostPalette[512];
uint32_t HostPairs[32][256];

namespace {
uint16_t converted[512];
bool wholePending = true;
} // namespace

void RefreshHostPalette(bool whole, bool needed)
{
    wholePending |= whole;
    if (!needed)
        return;
    whole = wholePending;
    wholePending = false;
    // Palette RAM changes only through stores, which mark it.
    const bool stored = RenderDirtyFlags & DirtyPalette;
    RenderDirtyFlags &= uint8_t(~DirtyPalette);
    if (!whole && (!stored || std::memcmp(converted, BgPalette, sizeof converted) == 0))
        return;
    uint32_t changedBanks = 0;
    for (int i = 0; i < 512; ++i) {
        converted[i] = BgPalette[i];
        const uint16_t host = ColorToHostTable[converted[i]];
        if (host != HostPalette[i]) {
            HostPalette[i] = host;
            changedBanks |= 1u << (i >> 4);
        }
    }
    for (; changedBanks; changedBanks &= changedBanks - 1) {
        const int bank = __builtin_ctz(changedBanks);
        const uint16_t *colors = HostPalette + bank * 16;
        for (uint32_t byte = 0; byte < 256; ++byte)
            HostPairs[bank][byte] = colors[byte & 15] | uint32_t(colors[byte >> 4]) << 16;
    }
}

} // namespace Tavrin
