#include "modules/tavrin/render/HostPalette.h"

#include "modules/tavrin/render/RenderState.h"

#include <cstring>

namespace Tavrin {

uint16_t HostPalette[512];

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
    if (!whole && std::memcmp(converted, BgPalette, sizeof converted) == 0)
        return;
    for (int i = 0; i < 512; ++i) {
        converted[i] = BgPalette[i];
        HostPalette[i] = ColorToHostTable[converted[i]];
    }
}

} // namespace Tavrin
