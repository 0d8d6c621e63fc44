// The 6502 module's video: two 272 x 240 frame surfaces with packed rows
// that the line renderers draw into, the renderer family and colour table
// of their depth, and each finished frame shown as 256 x 224 from (8, 8).
#pragma once

#include "modules/common/FrameVideo.h"

namespace Cindrel {

class CindrelVideo : public ConsoleGlue::FrameVideo {
public:
    // The colour tables start cleared.
    explicit CindrelVideo(ZorvanEngine::Module *owner);

    // Opens the display, makes the surface pair (closing the module and
    // failing when it cannot, or when the rows are not 272 pixels apart),
    // locks, installs the renderers of the depth and hands the 64 colours
    // on again.
    bool Open(int width, int height, Ondrel::PixelFormat format) override;
    Ondrel::Point GetScreenSize() override;
    // Colour entry 0-511 (emphasis x 64 + colour) as a host pixel of the
    // frame's depth; nothing without a surface.
    void SetColor(int index, int r, int g, int b) override;
    int Is60Hz() override;
};

} // namespace Cindrel
