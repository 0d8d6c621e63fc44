#pragma once

#include "platform/ondrel/Geometry.h"
#include "platform/ondrel/Palette.h"
#include "platform/ondrel/PixelFormat.h"

#include <QImage>

#include <cstdint>
#include <memory>

namespace Ondrel {

class DrawingContext;

enum SurfaceFlags : unsigned {
    SurfaceFlagsNone = 0,       // rows may be padded to a 16-byte pitch
    SurfaceFlagPackedRows = 1,  // pitch is exactly width x bytes per pixel
};

enum LockFlags : unsigned {
    LockRead = 1,
    LockWrite = 2,
    LockReadWrite = 3,
};

enum CloneFlags : unsigned {
    CloneFlagsNone = 0,  // same size, format, pitch, palette and pixels
};

// Pixel address and the distance in bytes from one row to the next.
struct LockInfo {
    void* pixels = nullptr;
    int pitch = 0;
};

// A picture in memory: 8-bit palettised, RGB565 or 32-bit.
class Surface {
public:
    // Null for a size below 1, an unknown format or when memory runs out.
    static Surface* Create(int width, int height, PixelFormat format, SurfaceFlags flags = SurfaceFlagsNone);
    ~Surface();

    Surface(Surface const&) = delete;
    Surface& operator=(Surface const&) = delete;

    // A new surface the caller deletes; null when memory runs out.
    Surface* Clone(CloneFlags flags = CloneFlagsNone) const;

    Rect GetRect() const { return Rect{0, 0, m_width, m_height}; }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetPitch() const { return m_pitch; }
    PixelFormat GetPixelFormat() const { return m_format; }
    int GetBitsPerPixel() const { return BitsPerPixel(m_format); }

    // The whole surface, or the address of pixel (x, y) (null outside the
    // surface). A write lock counts as a change of the pixels. Locks nest;
    // the memory never moves, so a pointer stays valid for the surface's life.
    LockInfo Lock(LockFlags flags);
    LockInfo Lock(int x, int y, LockFlags flags);
    void Unlock(LockFlags flags = LockReadWrite);
    bool IsLocked() const { return m_lockCount > 0; }

    // The palette of an 8-bit surface; null for the other formats.
    Palette* GetPalette() { return m_palette.get(); }
    Palette const* GetPalette() const { return m_palette.get(); }

    // A drawing context on this surface; the caller deletes it.
    DrawingContext* CreateDrawingContext();

    // A QImage over the surface's memory (no copy); valid while the surface
    // lives. 8-bit surfaces carry their palette as the colour table.
    QImage AsImage() const;

    // Raw row access for the drawing code.
    std::uint8_t* Row(int y) { return m_pixels + std::ptrdiff_t(y) * m_pitch; }
    std::uint8_t const* Row(int y) const { return m_pixels + std::ptrdiff_t(y) * m_pitch; }

    // Counts changes of the pixels (blits, fills, write locks), so a drawing
    // context can tell whether anyone else drew since its last blit.
    unsigned GetGeneration() const { return m_generation; }
    void MarkChanged() { ++m_generation; }

private:
    Surface(int width, int height, int pitch, PixelFormat format, std::uint8_t* pixels);

    int m_width;
    int m_height;
    int m_pitch;
    PixelFormat m_format;
    std::uint8_t* m_pixels;
    std::unique_ptr<Palette> m_palette;
    int m_lockCount = 0;
    unsigned m_generation = 0;
};

} // namespace Ondrel
