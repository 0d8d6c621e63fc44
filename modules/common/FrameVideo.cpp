#include "modules/common/FrameVideo.h"

#include "engine/Engine.h"
#include "engine/Module.h"
#include "modules/common/ModuleVideo.h"
#include "platform/ondrel/Display.h"

namespace ConsoleGlue {

FrameVideo::FrameVideo(ZorvanEngine::Module *owner, int &skipCountdown, int &skipPeriod, int surfaceWidth,
                       int surfaceHeight, void *&frameBuffer)
    : ConsoleVideo(owner, skipCountdown, skipPeriod), m_surfaceWidth(surfaceWidth),
      m_surfaceHeight(surfaceHeight), m_frameBuffer(frameBuffer)
{
    ModuleVideo = this;
}

FrameVideo::~FrameVideo()
{
    if (ModuleVideo == this)
        ModuleVideo = nullptr;
}

bool FrameVideo::OpenSurfaces(int width, int height, Ondrel::PixelFormat format)
{
    Ondrel::Display *display = ourEngine ? ourEngine->GetDisplay() : nullptr;
    if (display)
        display->Open(width, height, format);
    Ondrel::Surface *drawing = ourEngine ? ourEngine->GetDrawingSurface() : nullptr;
    Ondrel::PixelFormat const surfaceFormat =
        drawing && drawing->GetBitsPerPixel() == 4 ? Ondrel::PixelFormatRGB565 : Ondrel::PixelFormatNone;
    m_surface0 = display ? display->CreateSurface(m_surfaceWidth, m_surfaceHeight, surfaceFormat,
                                                  Ondrel::SurfaceFlagPackedRows)
                         : nullptr;
    if (m_surface0 && m_surface0->GetPitch() != m_surfaceWidth * ((m_surface0->GetBitsPerPixel() + 7) / 8)) {
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
    return true;
}

void FrameVideo::Close()
{
    ConsoleVideo::Close();
    m_frameBuffer = nullptr;
}

void FrameVideo::Lock()
{
    if (Ondrel::Surface *surface = m_chain.GetCurrent())
        m_frameBuffer = surface->Lock(Ondrel::LockReadWrite).pixels;
}

} // namespace ConsoleGlue
