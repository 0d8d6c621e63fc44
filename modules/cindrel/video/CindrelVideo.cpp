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

CindrelVideo::CindrelVideo(ZorvanEngine::Module *owner) : ConsoleVideo(owner, FrameSkipCounter, FrameSkip)
{
    ConsoleGlue::ModuleVideo = this;
    std::memset(&PpuColorTable, 0, sizeof PpuColorTable);
}

CindrelVideo::~CindrelVideo()
{
    if (ConsoleGlue::ModuleVideo == this)
        ConsoleGlue::ModuleVideo = nullptr;
}

bool CindrelVideo::Open(int width, int height, Ondrel::PixelFormat format)
{
    Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr;
    if (display)
        display->Open(width, height, format);
    Ondrel::Surface *drawing = ourEngine ? ourEngine->GetDrawingSurface() : nullptr;
    Ondrel::PixelFormat const surfaceFormat =
        drawing && drawing->GetBitsPerPixel() == 4 ? Ondrel::PixelFormatRGB565 : Ondrel::PixelFormatNone;
    m_surface0 = display ? display->CreateSurface(FrameWidth, FrameHeight, surfaceFormat,
                                                  Ondrel::SurfaceFlagPackedRows)
                         : nullptr;
    // The renderers step rows by 272 pixels and never read the pitch.
    if (m_surface0 && m_surface0->GetPitch() != FrameWidth * ((m_surface0->GetBitsPerPixel() + 7) / 8)) {
        delete m_surface0;
        m_surface0 = nullptr;
    }
    m_surface1 = m_surface0 ? m_surface0->Clone(Ondrel::CloneFlagsNone) : nullptr;
    if (!m_surface1) {
        delete m_surface0;
        m_surface0 = nullptr;
        if (m_module)
            m_module->Close();
        return false;
    }
    m_chain.Add(m_surface0);
    m_chain.Add(m_surface1);
    Lock();
    PpuLineRenderers = LineRenderersFor(PpuDepthOf(m_surface0->GetBitsPerPixel()));
    // The colour tables of this depth (and display) are filled anew.
    HandOnPalette();
    return BaseVideo::Open(0, 0, Ondrel::PixelFormatNone);
}

void CindrelVideo::Close()
{
    ConsoleVideo::Close();
    PpuFrameBuffer = nullptr;
}

void CindrelVideo::Lock()
{
    if (Ondrel::Surface *surface = m_chain.GetCurrent())
        PpuFrameBuffer = surface->Lock(Ondrel::LockReadWrite).pixels;
}

Ondrel::Point CindrelVideo::GetScreenSize()
{
    return {kShownWindow.width, kShownWindow.height};
}

void CindrelVideo::SetColor(int index, int r, int g, int b)
{
    if (!m_surface0 || index < 0 || index >= 64)
        return;
    uint32_t const pixel = ConsoleGlue::HostPixel(ConsoleGlue::ColorTargetOf(*m_surface0), r, g, b);
    switch (ConsoleGlue::DepthOf(m_surface0->GetBitsPerPixel())) {
    case ConsoleGlue::PixelDepth::Bits32:
        PpuColorTable.c32[index] = pixel;
        break;
    case ConsoleGlue::PixelDepth::Bits16:
        PpuColorTable.c16[index] = uint16_t(pixel);
        break;
    case ConsoleGlue::PixelDepth::Bits8:
        PpuColorTable.c8[index] = uint8_t(pixel);
        break;
    }
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
