#include "modules/cindrel/video/CindrelVideo.h"

#include "engine/Engine.h"
#include "engine/Module.h"
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/video/LineRenderers.h"
#include "modules/common/HostColor.h"
#include "modules/common/ModuleVideo.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

#include <cstring>

namespace Cindrel {

namespace {

// The shown part of the 272 x 240 surface.
constexpr Ondrel::Rect kShownWindow{8, 8, 256, 224};

PpuDepth PpuDepthOf(int bitsPerPixel)
{
    switch (ConsoleGlue::DepthOf(bitsPerPixel)) {
    case ConsoleGlue::PixelDepth::Bits8:
        return PpuDepth::Bits8;
    case ConsoleGlue::PixelDepth::Bits16:
        return PpuDepth::Bits16;
    case ConsoleGlue::PixelDepth::Bits32:
        break;
    }
    return PpuDepth::Bits32;
}

} // namespace

CindrelVideo::CindrelVideo(ZorvanEngine::Module *owner)
    : FrameVideo(owner, FrameSkipCounter, FrameSkip, FrameWidth, FrameHeight, PpuFrameBuffer)
{
    std::memset(&PpuColorTable, 0, sizeof PpuColorTable);
}

bool CindrelVideo::Open(int width, int height, Ondrel::PixelFormat format)
{
    if (!OpenSurfaces(width, height, format))
        return false;
    PpuLineRenderers = LineRenderersFor(PpuDepthOf(m_surface0->GetBitsPerPixel()));
    // The colour tables of this depth (and display) are filled anew.
    HandOnPalette();
    return BaseVideo::Open(0, 0, Ondrel::PixelFormatNone);
}

Ondrel::Point CindrelVideo::GetScreenSize()
{
    return {kShownWindow.width, kShownWindow.height};
}

void CindrelVideo::SetColor(int index, int r, int g, int b)
{
    StoreColor(PpuColorTable, EmphasisColourCount, index, r, g, b);
}

int CindrelVideo::Is60Hz()
{
    return Cartridge.pal ? 0 : 1;
}

void SetPaletteColor(int index, int r, int g, int b)
{
    ConsoleGlue::SetPaletteColor(index, r, g, b);
}

void PresentFrame()
{
    ConsoleGlue::PresentFrame(kShownWindow);
}

} // namespace Cindrel
