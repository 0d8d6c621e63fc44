#include "platform/ondrel/Surface.h"

#include "platform/ondrel/DrawingContext.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace Ondrel {

namespace {

constexpr int RowAlignment = 16;

std::uint8_t* AllocatePixels(std::size_t bytes)
{
    // Aligned so that 32-bit rows and QImage wrapping are always legal.
    void* p = std::aligned_alloc(RowAlignment, (bytes + RowAlignment - 1) / RowAlignment * RowAlignment);
    return static_cast<std::uint8_t*>(p);
}

} // namespace

Surface::Surface(int width, int height, int pitch, PixelFormat format, std::uint8_t* pixels)
    : m_width(width), m_height(height), m_pitch(pitch), m_format(format), m_pixels(pixels)
{
    if (format == PixelFormatPalette8)
        m_palette = std::make_unique<Palette>();
}

Surface::~Surface()
{
    std::free(m_pixels);
}

Surface* Surface::Create(int width, int height, PixelFormat format, SurfaceFlags flags)
{
    int const bytesPerPixel = BytesPerPixel(format);
    if (width <= 0 || height <= 0 || bytesPerPixel == 0)
        return nullptr;
    // Pitch and total size must fit an int pitch and the address space.
    long long pitch = (long long)width * bytesPerPixel;
    if (!(flags & SurfaceFlagPackedRows))
        pitch = (pitch + RowAlignment - 1) / RowAlignment * RowAlignment;
    if (pitch > std::numeric_limits<int>::max() || (unsigned long long)pitch * height > (1ull << 31))
        return nullptr;
    std::size_t const bytes = std::size_t(pitch) * std::size_t(height);
    std::uint8_t* pixels = AllocatePixels(bytes);
    if (!pixels)
        return nullptr;
    std::memset(pixels, 0, bytes);
    return new (std::nothrow) Surface(width, height, int(pitch), format, pixels);
}

Surface* Surface::Clone(CloneFlags) const
{
    std::size_t const bytes = std::size_t(m_pitch) * std::size_t(m_height);
    std::uint8_t* pixels = AllocatePixels(bytes);
    if (!pixels)
        return nullptr;
    std::memcpy(pixels, m_pixels, bytes);
    Surface* copy = new (std::nothrow) Surface(m_width, m_height, m_pitch, m_format, pixels);
    if (!copy) {
        std::free(pixels);
        return nullptr;
    }
    if (m_palette)
        *copy->m_palette = *m_palette;
    return copy;
}

LockInfo Surface::Lock(LockFlags flags)
{
    return Lock(0, 0, flags);
}

LockInfo Surface::Lock(int x, int y, LockFlags flags)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return LockInfo{nullptr, m_pitch};
    ++m_lockCount;
    if (flags & LockWrite)
        MarkChanged();
    return LockInfo{Row(y) + std::ptrdiff_t(x) * BytesPerPixel(m_format), m_pitch};
}

void Surface::Unlock(LockFlags flags)
{
    if (m_lockCount > 0)
        --m_lockCount;
    // The pixels may have been written while locked.
    if (flags & LockWrite)
        MarkChanged();
}

DrawingContext* Surface::CreateDrawingContext()
{
    return new DrawingContext(this);
}

QImage Surface::AsImage() const
{
    switch (m_format) {
    case PixelFormatRGB565:
        return QImage(m_pixels, m_width, m_height, m_pitch, QImage::Format_RGB16);
    case PixelFormatXRGB8888:
        return QImage(m_pixels, m_width, m_height, m_pitch, QImage::Format_RGB32);
    case PixelFormatPalette8: {
        QImage image(m_pixels, m_width, m_height, m_pitch, QImage::Format_Indexed8);
        QList<QRgb> colours(Palette::Size);
        for (int i = 0; i < Palette::Size; ++i)
            colours[i] = 0xFF000000u | m_palette->Get(i).ToRgb();
        image.setColorTable(colours);
        return image;
    }
    default:
        return QImage();
    }
}

} // namespace Ondrel
