// The console machines' two calls into their module's video: a palette
// colour, and showing the frame just drawn. Each console's video makes
// itself the module video when it is constructed.
#pragma once

#include "platform/ondrel/Geometry.h"

namespace ZorvanEngine {
class BaseVideo;
}

namespace ConsoleGlue {

// The module's video; null while none exists.
extern ZorvanEngine::BaseVideo *ModuleVideo;

// The video's SetColor for one palette entry; nothing without a video.
void SetPaletteColor(int index, int r, int g, int b);

// Unlocks the frame surface, draws the source rectangle of it to the
// screen, refreshes the display, and locks the next surface of the chain
// for the next frame. Nothing without an open video.
void PresentFrame(Ondrel::Rect const &source);

} // namespace ConsoleGlue
