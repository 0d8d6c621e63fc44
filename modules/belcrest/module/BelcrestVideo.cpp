#include "modules/belcrest/module/BelcrestVideo.h"

#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "modules/common/ModuleVideo.h"

namespace Belcrest {

namespace {

// The shown windows of the 272 x 208 surface.
constexpr Ondrel::Rect kMasterSystemWindow{8, 8, 256, 192};
constexpr Ondrel::Rect kGameGearWindow{56, 32, 160, 144};

} // namespace

BelcrestVideo::BelcrestVideo(ZorvanEngine::Module *owner)
    : FrameVideo(owner, FrameSkipCounter, FrameSkip, kSurfaceWidth, kSurfaceHeight, VdpFrameBuffer)
{
}

bool BelcrestVideo::Open(int width, int height, Ondrel::PixelFormat format)
{
    if (!OpenSurfaces(width, height, format))
        return false;
    VdpInstallRenderers(m_surface0->GetBitsPerPixel());
    return BaseVideo::Open(0, 0, Ondrel::PixelFormatNone);
}

Ondrel::Point BelcrestVideo::GetScreenSize()
{
    return IsGameGear() ? Ondrel::Point{kGameGearWindow.width, kGameGearWindow.height}
                        : Ondrel::Point{kMasterSystemWindow.width, kMasterSystemWindow.height};
}

void BelcrestVideo::SetColor(int index, int r, int g, int b)
{
    StoreColor(VdpColorTable, VdpColourCount, index, r, g, b);
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
