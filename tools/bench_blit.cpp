// Blit throughput on the sizes the emulators draw every frame.
// Prints "<name>: <number> <unit>" lines.
#include "platform/ondrel/DrawingContext.h"
#include "platform/ondrel/Surface.h"

#include <chrono>
#include <cstdio>
#include <memory>

using namespace Ondrel;

namespace {

struct Case {
    char const* name;
    PixelFormat from, to;
    int srcW, srcH, dstW, dstH;
    bool smooth;
};

double FramesPerSecond(Case const& c)
{
    std::unique_ptr<Surface> src(Surface::Create(c.srcW, c.srcH, c.from, SurfaceFlagPackedRows));
    std::unique_ptr<Surface> dst(Surface::Create(c.dstW, c.dstH, c.to));
    for (int y = 0; y < c.srcH; ++y)
        for (int x = 0; x < c.srcW * BytesPerPixel(c.from); ++x)
            src->Row(y)[x] = std::uint8_t(x * 7 + y * 13);
    DrawingContext dc(dst.get());
    dc.UseSmoothing(c.smooth);
    PixelFormatConverter conv;
    Rect const s{0, 0, c.srcW, c.srcH}, d{0, 0, c.dstW, c.dstH};
    auto const start = std::chrono::steady_clock::now();
    int frames = 0;
    double seconds = 0;
    do {
        for (int i = 0; i < 100; ++i)
            dc.Blit(d, src.get(), s, &conv);
        frames += 100;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (seconds < 0.5);
    return frames / seconds;
}

} // namespace

int main()
{
    Case const cases[] = {
        {"blit_565_copy_240x160", PixelFormatRGB565, PixelFormatRGB565, 240, 160, 240, 160, false},
        {"blit_565_scale2_240x160", PixelFormatRGB565, PixelFormatRGB565, 240, 160, 480, 320, false},
        {"blit_565_scale150_240x160", PixelFormatRGB565, PixelFormatRGB565, 240, 160, 400, 266, false},
        {"blit_565_smooth150_240x160", PixelFormatRGB565, PixelFormatRGB565, 240, 160, 400, 266, true},
        {"blit_565_to_32_scale2_256x224", PixelFormatRGB565, PixelFormatXRGB8888, 256, 224, 512, 448, false},
        {"blit_32_to_565_256x224", PixelFormatXRGB8888, PixelFormatRGB565, 256, 224, 256, 224, false},
        {"blit_pal8_to_565_scale2_256x224", PixelFormatPalette8, PixelFormatRGB565, 256, 224, 512, 448, false},
    };
    for (Case const& c : cases)
        std::printf("%s: %.0f frames/s\n", c.name, FramesPerSecond(c));
    return 0;
}
