// Stand-in for the line renderer until it lands: counts the lines drawn.
#pragma once

#include <cstdint>

namespace Tavrin {

struct RendererStandInRecord {
    uint32_t lines = 0;    // RenderLine calls
    uint32_t lastLine = 0; // the line counter at the last call
};
extern RendererStandInRecord RendererStandInLog;

} // namespace Tavrin
