// The test console's video: two RGB565 surfaces of 112 x 80 with the 96 x 64
// picture at (8, 8) and a guard band around it that is never shown, as the
// consoles' surfaces have. Each drawn frame fills the guard band magenta and
// the picture dark blue, with one yellow column at x = frame % 96.
#pragma once

#include "modules/common/ConsoleVideo.h"
#include "platform/ondrel/Geometry.h"

#include <cstdint>

namespace ZorvanEngine::Test {

class Video : public ConsoleGlue::ConsoleVideo {
public:
    static constexpr int kSurfaceWidth = 112;
    static constexpr int kSurfaceHeight = 80;
    static constexpr Ondrel::Rect kPicture{8, 8, 96, 64};
    static constexpr uint32_t kGuardColour = 0xFF00FF;
    static constexpr uint32_t kFieldColour = 0x102040;
    static constexpr uint32_t kBarColour = 0xF0C020;

    explicit Video(ZorvanEngine::Module *owner);
    ~Video() override;

    bool Open(int width, int height, Ondrel::PixelFormat format) override;
    void Close() override;
    void Lock() override;
    Ondrel::Point GetScreenSize() override { return Ondrel::Point{kPicture.width, kPicture.height}; }
    void SetColor(int, int, int, int) override {}
    int Is60Hz() override { return 1; }

    // Draws the frame's picture and presents it.
    void DrawPicture(int frame);

private:
    uint16_t *m_pixels = nullptr;
};

} // namespace ZorvanEngine::Test
