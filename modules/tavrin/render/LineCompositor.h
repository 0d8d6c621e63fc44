// One scanline: BeginScanline rebuilds what RenderDirtyFlags asks for and
// paints the backdrop; the layers are then drawn back to front, sprites in
// bands between the backgrounds by priority. RenderLine itself is declared
// with the renderer's state.
#pragma once

#include "modules/tavrin/render/LayerRendererTable.h"

#include <cstdint>

namespace Tavrin {

// 0 when the line is in forced blank (painted white, nothing rebuilt), else 1.
uint32_t BeginScanline(uint32_t line, uint32_t dirty);

// RenderLine through the given renderer table (tests pass a recording one).
// Returns 1 when layers may have been drawn.
uint32_t ComposeLine(const LayerRenderer *table);

} // namespace Tavrin
