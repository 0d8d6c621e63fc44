#include "platform/ondrel/DrawingContext.h"

#include "platform/ondrel/Surface.h"
#include "platform/ondrel/SurfaceChain.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace Ondrel {

namespace {

template <class Pixel>
void FillRows(Surface& surface, Rect const& r, std::uint32_t value)
{
    for (int y = r.y; y < r.Bottom(); ++y) {
        auto* row = reinterpret_cast<Pixel*>(surface.Row(y)) + r.x;
        std::fill_n(row, r.width, static_cast<Pixel>(value));
    }
}

// The part of `dst` that shows `cut`, a part of `whole` mapped onto `dst`.
Rect ScaleCut(Rect const& dst, Rect const& whole, Rect const& cut)
{
    auto map = [](int d, int dLen, int w, int wLen, int c) {
        return int(d + (long long)(c - w) * dLen / wLen);
    };
    int const left = map(dst.x, dst.width, whole.x, whole.width, cut.x);
    int const right = map(dst.x, dst.width, whole.x, whole.width, cut.Right());
    int const top = map(dst.y, dst.height, whole.y, whole.height, cut.y);
    int const bottom = map(dst.y, dst.height, whole.y, whole.height, cut.Bottom());
    return Rect{left, top, right - left, bottom - top};
}

} // namespace

DrawingContext::DrawingContext(Surface* target) : m_target(target) {}

Rect DrawingContext::GetRect() const
{
    return m_target ? m_target->GetRect() : Rect{};
}

void DrawingContext::SetClip(Rect const& clip)
{
    m_clip = clip;
    m_hasClip = true;
}

void DrawingContext::ClearClip()
{
    m_hasClip = false;
}

Rect DrawingContext::GetClip() const
{
    return m_hasClip ? m_clip : GetRect();
}

void DrawingContext::UseChangedBlit(bool on)
{
    m_changedOnly = on;
    if (!on)
        m_last.valid = false;
}

bool DrawingContext::Blit(Rect const& dst, SurfaceChain const* chain, Rect const& srcRect, PixelFormatConverter* converter)
{
    return chain && Blit(dst, chain->GetCurrent(), srcRect, converter);
}

bool DrawingContext::Blit(Rect const& dst, Surface const* src, Rect const& srcRect, PixelFormatConverter* converter)
{
    if (!m_target || !src || dst.IsEmpty() || srcRect.IsEmpty())
        return false;
    if (!PixelFormatConverter::CanConvert(src->GetPixelFormat(), m_target->GetPixelFormat()))
        return false;

    // A source rectangle reaching outside the source draws only the part
    // that exists, at the place it would have had.
    Rect const cut = srcRect.Intersected(src->GetRect());
    if (cut.IsEmpty())
        return false;
    Rect const target = cut == srcRect ? dst : ScaleCut(dst, srcRect, cut);
    if (target.IsEmpty())
        return false;
    Rect const visible = target.Intersected(GetClip()).Intersected(m_target->GetRect());
    if (visible.IsEmpty())
        return true;

    // Drawing a surface into itself would read pixels already overwritten.
    std::unique_ptr<Surface> copy;
    if (src == m_target) {
        copy.reset(src->Clone());
        if (!copy)
            return false;
        src = copy.get();
    }

    std::uint8_t const* changed = nullptr;
    if (m_changedOnly && !m_smooth && !copy)
        changed = ChangedRows(*src, cut, target, visible);

    PixelFormatConverter* conv = converter ? converter : &m_ownConverter;
    if (!conv->Convert(*src, cut, *m_target, target, visible, m_smooth, changed))
        return false;

    if (m_changedOnly && !m_smooth && !copy) {
        m_last.valid = true;
        m_last.srcRect = cut;
        m_last.dst = target;
        m_last.visible = visible;
        m_last.format = src->GetPixelFormat();
        m_last.paletteVersion = src->GetPalette() ? src->GetPalette()->GetVersion() : 0;
        m_last.targetGeneration = m_target->GetGeneration();
    } else {
        m_last.valid = false;
    }
    return true;
}

std::uint8_t const* DrawingContext::ChangedRows(Surface const& src, Rect const& srcRect, Rect const& dst, Rect const& visible)
{
    std::size_t const rowBytes = std::size_t(srcRect.width) * BytesPerPixel(src.GetPixelFormat());
    std::size_t const bytes = rowBytes * std::size_t(srcRect.height);
    unsigned const paletteVersion = src.GetPalette() ? src.GetPalette()->GetVersion() : 0;
    // The target must still hold exactly what the last blit left there.
    bool const comparable = m_last.valid && m_last.srcRect == srcRect && m_last.dst == dst
        && m_last.visible == visible && m_last.format == src.GetPixelFormat()
        && m_last.paletteVersion == paletteVersion && m_last.targetGeneration == m_target->GetGeneration()
        && m_shadow.size() == bytes;

    m_shadow.resize(bytes);
    m_rowChanged.assign(std::size_t(srcRect.height), 1);
    std::size_t const offset = std::size_t(srcRect.x) * BytesPerPixel(src.GetPixelFormat());
    for (int r = 0; r < srcRect.height; ++r) {
        std::uint8_t const* row = src.Row(srcRect.y + r) + offset;
        std::uint8_t* shadow = m_shadow.data() + std::size_t(r) * rowBytes;
        if (comparable && std::memcmp(shadow, row, rowBytes) == 0)
            m_rowChanged[r] = 0;
        else
            std::memcpy(shadow, row, rowBytes);
    }
    return m_rowChanged.data();
}

void DrawingContext::Fill(Rect const& rect, std::uint32_t rgb)
{
    if (!m_target)
        return;
    Rect const visible = rect.Intersected(GetClip()).Intersected(m_target->GetRect());
    if (visible.IsEmpty())
        return;
    std::uint32_t const value = PixelFormatConverter::PixelFromRgb(m_target->GetPixelFormat(), rgb, m_target->GetPalette());
    switch (BytesPerPixel(m_target->GetPixelFormat())) {
    case 1: FillRows<std::uint8_t>(*m_target, visible, value); break;
    case 2: FillRows<std::uint16_t>(*m_target, visible, value); break;
    case 4: FillRows<std::uint32_t>(*m_target, visible, value); break;
    default: return;
    }
    m_target->MarkChanged();
}

} // namespace Ondrel
