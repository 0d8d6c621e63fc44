// The video of a console whose renderers draw into a fixed frame surface of
// packed rows (the 6502 and Z80 consoles): it becomes the module video the
// machine's palette and frame calls reach, makes the surface pair, keeps
// the machine's frame-buffer pointer on the locked surface, and stores
// palette colours as host pixels of the surface's depth.
#pragma once

#include "modules/common/ConsoleVideo.h"
#include "modules/common/HostColor.h"
#include "platform/ondrel/Surface.h"

#include <cstdint>

namespace ConsoleGlue {

class FrameVideo : public ConsoleVideo {
public:
    // frameBuffer is the machine's pointer its renderers draw through; it
    // is null whenever no surface is locked.
    FrameVideo(ZorvanEngine::Module *owner, int &skipCountdown, int &skipPeriod, int surfaceWidth,
               int surfaceHeight, void *&frameBuffer);
    ~FrameVideo() override;

    // The renderers lose their frame buffer with the surfaces.
    void Close() override;
    // Locks the current surface; the renderers draw into it.
    void Lock() override;

protected:
    // Opens the display and makes the two surfaces, their rows exactly one
    // surface width apart (the renderers step rows by that and never read
    // the pitch), and locks the first. When they cannot be made the module
    // is closed and the result is false.
    bool OpenSurfaces(int width, int height, Ondrel::PixelFormat format);

    // Colour entry index of a table with c8, c16 and c32 arrays of count
    // entries, as a host pixel of the frame surface's depth; nothing
    // without a surface.
    template <class Table>
    void StoreColor(Table &table, int count, int index, int r, int g, int b)
    {
        if (!m_surface0 || index < 0 || index >= count)
            return;
        uint32_t const pixel = HostPixel(ColorTargetOf(*m_surface0), r, g, b);
        switch (DepthOf(m_surface0->GetBitsPerPixel())) {
        case PixelDepth::Bits32:
            table.c32[index] = pixel;
            break;
        case PixelDepth::Bits16:
            table.c16[index] = uint16_t(pixel);
            break;
        case PixelDepth::Bits8:
            table.c8[index] = uint8_t(pixel);
            break;
        }
    }

private:
    int m_surfaceWidth;
    int m_surfaceHeight;
    void *&m_frameBuffer;
};

} // namespace ConsoleGlue
