#include "modules/belcrest/module/BelcrestVideo.h"

#include "engine/Engine.h"
#include "engine/Module.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "modules/common/HostColor.h"
#include "modules/common/ModuleVideo.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

namespace Belcrest {

namespace {

// The shown windows of the 272 x 208 surface.
constexpr Ondrel::Rect kMasterSystemWindow{16, 8, 240, 192};
constexpr Ondrel::Rect kGameGearWindow{56, 32, 160, 144};

} // namespace

BelcrestVideo::BelcrestVideo(ZorvanEngine::Module *owner) : ConsoleVideo(owner, FrameSkipCounter, FrameSkip)
{
    ConsoleGlue::ModuleVideo = this;
}

BelcrestVideo::~BelcrestVideo()
{
    if (ConsoleGlue::ModuleVideo == this)
        ConsoleGlue::ModuleVideo = nullptr;
}

bool BelcrestVideo::Open(int width, int height, Ondrel::PixelFormat format)
{
    Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr;
    if (display)
        display->Open(width, height, format);
    Ondrel::Surface *drawing = ourEngine ? ourEngine->GetDrawingSurface() : nullptr;
    Ondrel::PixelFormat const surfaceFormat =
        drawing && drawing->GetBitsPerPixel() == 4 ? Ondrel::PixelFormatRGB565 : Ondrel::PixelFormatNone;
    m_surface0 = display ? display->CreateSurface(kSurfaceWidth, kSurfaceHeight, surfaceFormat,
                                                  Ondrel::SurfaceFlagPackedRows)
                         : nullptr;
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
    VdpInstallRenderers(m_surface0->GetBitsPerPixel());
    return BaseVideo::Open(0, 0, Ondrel::PixelFormatNone);
}

void BelcrestVideo::Close()
{
    ConsoleVideo::Close();
    VdpFrameBuffer = nullptr;
}

void BelcrestVideo::Lock()
{
    if (Ondrel::Surface *surface = m_chain.GetCurrent())
        VdpFrameBuffer = surface->Lock(Ondrel::LockReadWrite).pixels;
}

Ondrel::Point BelcrestVideo::GetScreenSize()
{
    return IsGameGear() ? Ondrel::Point{kGameGearWindow.width, kGameGearWindow.height}
                        : Ondrel::Point{kMasterSystemWindow.width, kMasterSystemWindow.height};
}

void BelcrestVideo::SetColor(int index, int r, int g, int b)
{
    if (!m_surface0 || index < 0 || index >= VdpColourCount)
        return;
    uint32_t const pixel = ConsoleGlue::HostPixel(ConsoleGlue::ColorTargetOf(*m_surface0), r, g, b);
    switch (ConsoleGlue::DepthOf(m_surface0->GetBitsPerPixel())) {
    case ConsoleGlue::PixelDepth::Bits32:
        VdpColorTable.c32[index] = pixel;
        break;
    case ConsoleGlue::PixelDepth::Bits16:
        VdpColorTable.c16[index] = uint16_t(pixel);
        break;
    case ConsoleGlue::PixelDepth::Bits8:
        VdpColorTable.c8[index] = uint8_t(pixel);
        break;
    }
}

void SetPaletteColor(int index, int r, int g, int b)
{
    ConsoleGlue::SetPaletteColor(index, r, g, b);
}

void RefreshScreen()
{
    ConsoleGlue::PresentFrame(IsGameGear() ? kGameGearWindow : kMasterSystemWindow);
}

} // namespace Belcrest
