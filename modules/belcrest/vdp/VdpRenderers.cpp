// The five fixed entry points of the mode table and the renderer family
// behind them, chosen once per frame surface by its pixel depth.
#include "modules/belcrest/vdp/VdpRender.h"

namespace Belcrest {

void *VdpFrameBuffer;
VdpColorTables VdpColorTable;

namespace {

struct RendererFamily {
    void (*text)(int);
    void (*graphics1)(int);
    void (*graphics2)(int);
    void (*multicolor)(int);
    void (*mode4)(int);
};

template <class Pixel> constexpr RendererFamily FamilyOf()
{
    return {RenderText<Pixel>, RenderGraphics1<Pixel>, RenderGraphics2<Pixel>, RenderMulticolor<Pixel>,
            RenderMode4<Pixel>};
}

RendererFamily Installed = FamilyOf<uint32_t>();

} // namespace

void VdpInstallRenderers(int bitsPerPixel)
{
    if (bitsPerPixel <= 8)
        Installed = FamilyOf<uint8_t>();
    else if (bitsPerPixel <= 16)
        Installed = FamilyOf<uint16_t>();
    else
        Installed = FamilyOf<uint32_t>();
}

void RenderTextLine(int line) { Installed.text(line); }
void RenderGraphics1Line(int line) { Installed.graphics1(line); }
void RenderGraphics2Line(int line) { Installed.graphics2(line); }
void RenderMulticolorLine(int line) { Installed.multicolor(line); }
void RenderMode4Line(int line) { Installed.mode4(line); }

} // namespace Belcrest
