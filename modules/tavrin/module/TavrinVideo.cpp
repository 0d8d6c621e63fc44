#include "modules/tavrin/module/TavrinVideo.h"

#include "engine/Engine.h"
#include "engine/Module.h"
#include "modules/tavrin/machine/ModuleServices.h"
#include "modules/tavrin/render/ColorTables.h"
#include "modules/tavrin/render/DrawnLines.h"
#include "modules/tavrin/render/RenderState.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

namespace Tavrin {

namespace {
TavrinVideo *PublishedVideo = nullptr;
// The renderer's frame-skip words, as the glue takes them.
int &SkipCountdown() { return reinterpret_cast<int &>(FrameSkipCountdown); }
int &SkipPeriod() { return reinterpret_cast<int &>(FrameSkipPeriod); }
} // namespace

TavrinVideo::TavrinVideo(ZorvanEngine::Module *owner) : ConsoleVideo(owner, SkipCountdown(), SkipPeriod())
{
    PublishedVideo = this;
}

TavrinVideo::~TavrinVideo()
{
    if (PublishedVideo == this)
        PublishedVideo = nullptr;
    FrameBuffer = nullptr;
}

void TavrinVideo::Refuse()
{
    if (ourEngine)
        ourEngine->Message(L"GBA: Unable to create emulator video surface.");
    FrameBuffer = nullptr;
    if (m_module)
        m_module->Close();
}

bool TavrinVideo::Open(int, int, Ondrel::PixelFormat)
{
    Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr;
    m_surface0 = display ? display->CreateSurface(kSurfaceWidth, kSurfaceHeight, Ondrel::PixelFormatRGB565,
                                                  Ondrel::SurfaceFlagPackedRows)
                         : nullptr;
    if (!m_surface0) {
        Refuse();
        return false;
    }
    m_surface1 = m_surface0->Clone();
    m_chain.Add(m_surface0);
    if (m_surface1)
        m_chain.Add(m_surface1);
    if (!LockChecked())
        return false;
    if (!BaseVideo::Open(0, 0, Ondrel::PixelFormatNone))
        return false;
    FillColorTables();
    return true;
}

bool TavrinVideo::LockChecked()
{
    Ondrel::Surface *surface = m_chain.GetCurrent();
    Ondrel::LockInfo const info = surface ? surface->Lock(Ondrel::LockReadWrite) : Ondrel::LockInfo{};
    if (!info.pixels || info.pitch != kPitch) {
        if (surface && info.pixels)
            surface->Unlock();
        Refuse();
        return false;
    }
    FrameBuffer = static_cast<uint8_t *>(info.pixels);
    return true;
}

void TavrinVideo::Lock()
{
    if (Ondrel::Surface *surface = m_chain.GetCurrent())
        FrameBuffer = static_cast<uint8_t *>(surface->Lock(Ondrel::LockReadWrite).pixels);
}

void TavrinVideo::SetColor(int index, int r, int g, int b)
{
    ColorToHostTable[index & 0xFFFF] = PackHostColor(uint32_t(r), uint32_t(g), uint32_t(b) & 0xFF);
    HostTableIsPacked = false;
    // The kept lines hold host colours of the table as it was.
    ForgetDrawnLines();
}

void TavrinVideo::Present()
{
    Unlock();
    DrawFrame(Ondrel::Rect{kPictureLeft, 0, 240, kSurfaceHeight});
    if (Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr)
        display->Refresh(Ondrel::Rect());
    Flip();
    Lock();
}

void PresentFrame()
{
    if (PublishedVideo && PublishedVideo->IsOpen())
        PublishedVideo->Present();
}

} // namespace Tavrin
