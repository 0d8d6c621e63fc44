#include "platform/ondrel/PixelFormatConverter.h"

#include "platform/ondrel/Palette.h"
#include "platform/ondrel/Surface.h"

#include <cstring>
#include <type_traits>

namespace Ondrel {

namespace {

// One pixel conversion per (source, target) pair; the row loops below are
// instantiated for each, so the pixel loop never branches on a format.
struct Copy8 {
    using Src = std::uint8_t;
    using Dst = std::uint8_t;
    static constexpr bool Identity = true;
    static Dst Convert(Src s, std::uint32_t const*) { return s; }
};
struct Copy16 {
    using Src = std::uint16_t;
    using Dst = std::uint16_t;
    static constexpr bool Identity = true;
    static Dst Convert(Src s, std::uint32_t const*) { return s; }
};
struct Copy32 {
    using Src = std::uint32_t;
    using Dst = std::uint32_t;
    static constexpr bool Identity = true;
    static Dst Convert(Src s, std::uint32_t const*) { return s; }
};
struct Indexed8To16 {
    using Src = std::uint8_t;
    using Dst = std::uint16_t;
    static constexpr bool Identity = false;
    static Dst Convert(Src s, std::uint32_t const* table) { return static_cast<Dst>(table[s]); }
};
struct Indexed8To32 {
    using Src = std::uint8_t;
    using Dst = std::uint32_t;
    static constexpr bool Identity = false;
    static Dst Convert(Src s, std::uint32_t const* table) { return table[s]; }
};
struct Rgb565To32 {
    using Src = std::uint16_t;
    using Dst = std::uint32_t;
    static constexpr bool Identity = false;
    static Dst Convert(Src s, std::uint32_t const*) { return Rgb565To888(s); }
};
struct Rgb32To565 {
    using Src = std::uint32_t;
    using Dst = std::uint16_t;
    static constexpr bool Identity = false;
    static Dst Convert(Src s, std::uint32_t const*) { return Rgb888To565(s); }
};

// Per-channel average of two pixels without unpacking: the low bit of every
// field is dropped before the halves are added, so no field carries into the next.
inline std::uint8_t Average(std::uint8_t, std::uint8_t b) { return b; }
inline std::uint16_t Average(std::uint16_t a, std::uint16_t b)
{
    return static_cast<std::uint16_t>((((a ^ b) & 0xF7DEu) >> 1) + (a & b));
}
inline std::uint32_t Average(std::uint32_t a, std::uint32_t b)
{
    return ((((a ^ b) & 0xFEFEFEu) >> 1) + (a & b)) & 0xFFFFFFu;
}

using RowLoop = void (*)(std::uint8_t const* srcRow, std::uint8_t* dstRow, int count, std::uint64_t pos,
    std::uint64_t step, std::uint32_t const* table);

// pos and step are source x positions in 32.32 fixed point.
template <class Op, bool Blend>
void ScaledRow(std::uint8_t const* srcRow, std::uint8_t* dstRow, int count, std::uint64_t pos, std::uint64_t step,
    std::uint32_t const* table)
{
    auto const* src = reinterpret_cast<typename Op::Src const*>(srcRow);
    auto* dst = reinterpret_cast<typename Op::Dst*>(dstRow);
    for (int i = 0; i < count; ++i) {
        typename Op::Dst v = Op::Convert(src[pos >> 32], table);
        if constexpr (Blend)
            v = Average(dst[i], v);
        dst[i] = v;
        pos += step;
    }
}

template <class Op, bool Blend>
void UnscaledRow(std::uint8_t const* srcRow, std::uint8_t* dstRow, int count, std::uint64_t pos, std::uint64_t,
    std::uint32_t const* table)
{
    auto const* src = reinterpret_cast<typename Op::Src const*>(srcRow) + (pos >> 32);
    auto* dst = reinterpret_cast<typename Op::Dst*>(dstRow);
    if constexpr (Op::Identity && !Blend) {
        std::memcpy(dst, src, std::size_t(count) * sizeof(typename Op::Dst));
    } else {
        for (int i = 0; i < count; ++i) {
            typename Op::Dst v = Op::Convert(src[i], table);
            if constexpr (Blend)
                v = Average(dst[i], v);
            dst[i] = v;
        }
    }
}

struct RowLoops {
    RowLoop loops[2][2];  // [blend][unscaled]
};

template <class Op>
constexpr RowLoops LoopsFor()
{
    return RowLoops{{{&ScaledRow<Op, false>, &UnscaledRow<Op, false>}, {&ScaledRow<Op, true>, &UnscaledRow<Op, true>}}};
}

RowLoops const* LoopsForPair(PixelFormat from, PixelFormat to)
{
    static constexpr RowLoops copy8 = LoopsFor<Copy8>();
    static constexpr RowLoops copy16 = LoopsFor<Copy16>();
    static constexpr RowLoops copy32 = LoopsFor<Copy32>();
    static constexpr RowLoops indexed16 = LoopsFor<Indexed8To16>();
    static constexpr RowLoops indexed32 = LoopsFor<Indexed8To32>();
    static constexpr RowLoops rgb565To32 = LoopsFor<Rgb565To32>();
    static constexpr RowLoops rgb32To565 = LoopsFor<Rgb32To565>();
    switch (from) {
    case PixelFormatPalette8:
        return to == PixelFormatPalette8 ? &copy8
            : to == PixelFormatRGB565    ? &indexed16
            : to == PixelFormatXRGB8888  ? &indexed32
                                         : nullptr;
    case PixelFormatRGB565:
        return to == PixelFormatRGB565 ? &copy16 : to == PixelFormatXRGB8888 ? &rgb565To32 : nullptr;
    case PixelFormatXRGB8888:
        return to == PixelFormatXRGB8888 ? &copy32 : to == PixelFormatRGB565 ? &rgb32To565 : nullptr;
    default:
        return nullptr;
    }
}

} // namespace

PixelFormatConverter::PixelFormatConverter()
{
    std::memset(m_table, 0, sizeof m_table);
}

bool PixelFormatConverter::CanConvert(PixelFormat from, PixelFormat to)
{
    return LoopsForPair(from, to) != nullptr;
}

std::uint32_t PixelFormatConverter::PixelFromRgb(PixelFormat format, std::uint32_t rgb, Palette const* palette)
{
    switch (format) {
    case PixelFormatPalette8:
        return palette ? std::uint32_t(palette->FindNearest(PaletteEntry::FromRgb(rgb))) : 0;
    case PixelFormatRGB565:
        return Rgb888To565(rgb);
    case PixelFormatXRGB8888:
        return rgb & 0xFFFFFFu;
    default:
        return 0;
    }
}

std::uint32_t const* PixelFormatConverter::PaletteTable(Palette const& palette, PixelFormat to)
{
    if (m_tablePalette != &palette || m_tableVersion != palette.GetVersion() || m_tableFormat != to) {
        for (int i = 0; i < Palette::Size; ++i)
            m_table[i] = PixelFromRgb(to, palette.Get(i).ToRgb(), nullptr);
        m_tablePalette = &palette;
        m_tableVersion = palette.GetVersion();
        m_tableFormat = to;
    }
    return m_table;
}

bool PixelFormatConverter::Convert(Surface const& src, Rect const& srcRect, Surface& dst, Rect const& dstRect,
    Rect const& visible, bool blend, std::uint8_t const* sourceRowChanged)
{
    RowLoops const* loops = LoopsForPair(src.GetPixelFormat(), dst.GetPixelFormat());
    if (!loops || srcRect.IsEmpty() || dstRect.IsEmpty() || visible.IsEmpty())
        return false;
    // Callers hand in checked rectangles; refuse anything that would reach
    // outside either surface rather than trust it.
    if (srcRect.Intersected(src.GetRect()) != srcRect || visible.Intersected(dst.GetRect()) != visible
        || visible.Intersected(dstRect) != visible)
        return false;

    std::uint32_t const* table = nullptr;
    if (src.GetPixelFormat() == PixelFormatPalette8 && dst.GetPixelFormat() != PixelFormatPalette8)
        table = PaletteTable(*src.GetPalette(), dst.GetPixelFormat());
    bool const blendable = blend && dst.GetPixelFormat() != PixelFormatPalette8;
    bool const unscaled = srcRect.width == dstRect.width;
    RowLoop const loop = loops->loops[blendable][unscaled];

    // Each target pixel samples the source at its centre: source x =
    // floor((dx + 0.5) * srcWidth / dstWidth). The step is rounded down, so a
    // small bias (more than the rounding can lose over a row, less than the
    // smallest fraction that matters) keeps exact ratios exact.
    std::uint64_t const step = (std::uint64_t(srcRect.width) << 32) / std::uint64_t(dstRect.width);
    std::uint64_t const bias = unscaled ? 0 : std::uint64_t(dstRect.width) + 1;
    std::uint64_t const pos0 = (std::uint64_t(srcRect.x) << 32) + step / 2 + bias
        + std::uint64_t(visible.x - dstRect.x) * step;

    int const bytesPerPixel = BytesPerPixel(dst.GetPixelFormat());
    for (int y = visible.y; y < visible.Bottom(); ++y) {
        long long const dy = y - dstRect.y;
        int const sy = int((2 * dy + 1) * srcRect.height / (2LL * dstRect.height));
        if (sourceRowChanged && !sourceRowChanged[sy])
            continue;
        loop(src.Row(srcRect.y + sy), dst.Row(y) + std::ptrdiff_t(visible.x) * bytesPerPixel, visible.width, pos0,
            step, table);
    }
    dst.MarkChanged();
    return true;
}

} // namespace Ondrel
