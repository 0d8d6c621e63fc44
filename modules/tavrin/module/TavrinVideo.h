// The handheld's video: two 500 x 160 RGB565 surfaces the line renderer
// draws into (the 240-pixel picture at x = 130, guard bands either side),
// the renderer's colour tables, and the frame's presentation.
#pragma once

#include "modules/common/ConsoleVideo.h"

namespace Tavrin {

class TavrinVideo : public ConsoleGlue::ConsoleVideo {
public:
    static constexpr int kSurfaceWidth = 500;
    static constexpr int kSurfaceHeight = 160;
    static constexpr int kPitch = kSurfaceWidth * 2;
    static constexpr int kPictureLeft = 130;

    explicit TavrinVideo(ZorvanEngine::Module *owner);
    ~TavrinVideo() override;

    bool Open(int width, int height, Ondrel::PixelFormat format) override;
    void Lock() override;
    Ondrel::Point GetScreenSize() override { return Ondrel::Point{240, 160}; }
    // Console colour index -> RGB565 in the renderer's host table.
    void SetColor(int index, int r, int g, int b) override;
    int Is60Hz() override { return 1; }

    // The frame is complete: show it, then lock the other surface.
    void Present();

private:
    // False (with the surface message, the module closed) when the current
    // surface cannot be locked at the renderer's fixed stride.
    bool LockChecked();
    void Refuse();
};

} // namespace Tavrin
