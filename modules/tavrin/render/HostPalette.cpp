#include "modules/tavrin/render/HostPalette.h"

#include "modules/tavrin/render/RenderState.h"

#include <cstring>

namespace Tavrin {

uint16_t HostPalette[512];

namespace {
uint16_t converted[512];
}

void RefreshHostPalette(bool whole)
{
    if (!whole && std::memcmp(converted, BgPalette, sizeof converted) == 0)
        return;
    for (int i = 0; i < 512; ++i) {
        converted[i] = BgPalette[i];
        HostPalette[i] = ColorToHostTable[converted[i]];
    }
}

} // namespace Tavrin
