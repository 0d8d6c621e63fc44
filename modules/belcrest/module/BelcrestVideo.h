// The Z80 module's video: a pair of 272 x 208 frame surfaces in the
// display's format with packed rows, the renderer family and host colour
// table of their depth, and the shown window of each frame: all 256 x 192
// on the Master System, 160 x 144 on the Game Gear.
#pragma once

#include "modules/common/FrameVideo.h"

#include <cstdint>

namespace Belcrest {

class BelcrestVideo : public ConsoleGlue::FrameVideo {
public:
    static constexpr int kSurfaceWidth = 272;
    static constexpr int kSurfaceHeight = 208;

    explicit BelcrestVideo(ZorvanEngine::Module *owner);

    // Opens the display, makes the two frame surfaces and installs the
    // renderers of their depth. When a surface cannot be made the module is
    // closed and the result is false.
    bool Open(int width, int height, Ondrel::PixelFormat format) override;
    Ondrel::Point GetScreenSize() override;
    // Palette entry 0-47 (background, sprites, TMS colours) as a host pixel
    // of the frame surface's depth; nothing without a surface.
    void SetColor(int index, int r, int g, int b) override;
    int Is60Hz() override { return 1; }

    // The mode-4 border pixel value; always 0.
    uint32_t m_borderPixel = 0;
};

} // namespace Belcrest
