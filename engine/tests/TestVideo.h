// A module video for tests and for the test module plug-in: two RGB565
// frame surfaces of the picture's size, drawn and presented the way a real
// module's video does it, through the engine's BaseVideo.
#pragma once

#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Surface.h"

#include <cstdint>

namespace ZorvanEngine::Test {

class TestVideo : public ZorvanEngine::BaseVideo {
public:
    TestVideo(ZorvanEngine::Module *owner, int width, int height) : BaseVideo(owner), m_size{width, height} {}
    ~TestVideo() override
    {
        if (m_open)
            Close();
    }

    bool Open(int, int, Ondrel::PixelFormat) override
    {
        Ondrel::Display *display = ourEngine->GetDisplay();
        m_surface0 = display->CreateSurface(m_size.x, m_size.y, Ondrel::PixelFormatRGB565);
        m_surface1 = m_surface0->Clone();
        m_chain.Add(m_surface0);
        m_chain.Add(m_surface1);
        return BaseVideo::Open(0, 0, Ondrel::PixelFormatNone);
    }
    void Close() override { BaseVideo::Close(); }
    void Lock() override
    {
        if (Ondrel::Surface *surface = m_chain.GetCurrent())
            surface->Lock(Ondrel::LockReadWrite);
    }
    Ondrel::Point GetScreenSize() override { return m_size; }
    void SetColor(int, int, int, int) override {}
    bool SyncFrame() override
    {
        lastResult = SyncVideo(skip, maxFrames);
        return lastResult;
    }
    int Is60Hz() override { return is60Hz ? 1 : 0; }
    void SetFastMode(bool) override {}

    // Paints a rectangle of the current frame surface with one RGB565
    // colour; the whole surface when the rectangle is empty.
    void PaintCurrent(uint16_t colour, Ondrel::Rect area = Ondrel::Rect())
    {
        Ondrel::Surface *surface = m_chain.GetCurrent();
        Ondrel::Rect const whole = surface->GetRect();
        area = area.IsEmpty() ? whole : area.Intersected(whole);
        for (int y = area.y; y < area.Bottom(); ++y) {
            auto *row = reinterpret_cast<uint16_t *>(surface->Row(y));
            for (int x = area.x; x < area.Right(); ++x)
                row[x] = colour;
        }
        surface->MarkChanged();
    }

    // The end of a drawn frame, as a module's video ends it: the picture
    // goes to the display's drawing surface, the display presents it, and
    // the next frame is drawn into the other surface.
    void PresentFrame()
    {
        Unlock();
        DrawFrame(Ondrel::Rect{0, 0, m_size.x, m_size.y});
        if (Ondrel::Display *display = ourEngine->GetDisplay())
            display->Refresh(Ondrel::Rect());
        Flip();
        Lock();
    }

    bool is60Hz = true;
    int skip = -1;
    int maxFrames = -1;
    bool lastResult = false;

private:
    Ondrel::Point m_size;
};

} // namespace ZorvanEngine::Test
