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

// Weighted mix of two pixels of a target format, without unpacking each
// channel: the channels are spread apart so that products never carry into
// their neighbours. `w` is b's share in 256ths.
inline std::uint8_t Mix(std::uint8_t a, std::uint8_t, unsigned) { return a; }
inline std::uint16_t Mix(std::uint16_t a, std::uint16_t b, unsigned w)
{
    // 565 spread to 00000gggggg00000rrrrr000000bbbbb; 5-bit weights.
    unsigned const w5 = w >> 3;
    std::uint32_t const sa = (a | (std::uint32_t(a) << 16)) & 0x07E0F81Fu;
    std::uint32_t const sb = (b | (std::uint32_t(b) << 16)) & 0x07E0F81Fu;
    std::uint32_t const m = ((sa * (32 - w5) + sb * w5) >> 5) & 0x07E0F81Fu;
    return static_cast<std::uint16_t>(m | (m >> 16));
}
inline std::uint32_t Mix(std::uint32_t a, std::uint32_t b, unsigned w)
{
    std::uint32_t const rb = (((a & 0xFF00FFu) * (256 - w) + (b & 0xFF00FFu) * w) >> 8) & 0xFF00FFu;
    std::uint32_t const g = (((a & 0x00FF00u) * (256 - w) + (b & 0x00FF00u) * w) >> 8) & 0x00FF00u;
    return rb | g;
}

// pos and step are source x positions in 32.32 fixed point.
using RowLoop = void (*)(std::uint8_t const* srcRow, std::uint8_t* dstRow, int count, std::uint64_t pos,
    std::uint64_t step, std::uint32_t const* table);

template <class Op>
void ScaledRow(std::uint8_t const* srcRow, std::uint8_t* dstRow, int count, std::uint64_t pos, std::uint64_t step,
    std::uint32_t const* table)
{
    auto const* src = reinterpret_cast<typename Op::Src const*>(srcRow);
    auto* dst = reinterpret_cast<typename Op::Dst*>(dstRow);
    for (int i = 0; i < count; ++i) {
        dst[i] = Op::Convert(src[pos >> 32], table);
        pos += step;
    }
}

template <class Op>
void UnscaledRow(std::uint8_t const* srcRow, std::uint8_t* dstRow, int count, std::uint64_t pos, std::uint64_t,
    std::uint32_t const* table)
{
    auto const* src = reinterpret_cast<typename Op::Src const*>(srcRow) + (pos >> 32);
    auto* dst = reinterpret_cast<typename Op::Dst*>(dstRow);
    if constexpr (Op::Identity) {
        std::memcpy(dst, src, std::size_t(count) * sizeof(typename Op::Dst));
    } else {
        for (int i = 0; i < count; ++i)
            dst[i] = Op::Convert(src[i], table);
    }
}

// A smoothed (bilinear) scale in two steps: a source row is mixed across
// into target pixels (`columns` gives, per target pixel, the two source
// columns around its centre and the right one's share in 256ths), then two
// such rows are mixed down (`fy`: the lower one's share). A mixed row serves
// every target row that falls between the same two source rows.
using SmoothAcross = void (*)(std::uint8_t const* srcRow, void* out, int count,
    PixelFormatConverter::SmoothColumn const* columns, std::uint32_t const* table);
using SmoothDown = void (*)(void const* upper, void const* lower, unsigned fy, std::uint8_t* dstRow, int count);

template <class Op>
void MixAcross(std::uint8_t const* srcRow, void* out, int count, PixelFormatConverter::SmoothColumn const* columns,
    std::uint32_t const* table)
{
    auto const* src = reinterpret_cast<typename Op::Src const*>(srcRow);
    auto* mixed = static_cast<typename Op::Dst*>(out);
    for (int i = 0; i < count; ++i) {
        PixelFormatConverter::SmoothColumn const c = columns[i];
        mixed[i] = Mix(Op::Convert(src[c.left], table), Op::Convert(src[c.right], table), c.share);
    }
}

template <class Op>
void MixDown(void const* upper, void const* lower, unsigned fy, std::uint8_t* dstRow, int count)
{
    auto const* top = static_cast<typename Op::Dst const*>(upper);
    auto const* bottom = static_cast<typename Op::Dst const*>(lower);
    auto* dst = reinterpret_cast<typename Op::Dst*>(dstRow);
    if (fy == 0) {
        std::memcpy(dst, top, std::size_t(count) * sizeof(typename Op::Dst));
        return;
    }
    for (int i = 0; i < count; ++i)
        dst[i] = Mix(top[i], bottom[i], fy);
}

// Where a target coordinate's centre falls among the source's pixels:
// source = (target + 0.5) * srcSize / dstSize - 0.5, in 16.16 fixed point,
// held at the edges.
void SourceNeighbours(std::int64_t position, int last, int& first, int& second, unsigned& share)
{
    if (position <= 0) {
        first = second = 0;
        share = 0;
        return;
    }
    first = int(position >> 16);
    if (first >= last) {
        first = second = last;
        share = 0;
        return;
    }
    second = first + 1;
    share = unsigned(position >> 8) & 0xFF;
}

struct RowLoops {
    RowLoop scaled;
    RowLoop unscaled;
    SmoothAcross across;
    SmoothDown down;
};

template <class Op>
constexpr RowLoops LoopsFor()
{
    return RowLoops{&ScaledRow<Op>, &UnscaledRow<Op>, &MixAcross<Op>, &MixDown<Op>};
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
    Rect const& visible, bool smooth, std::uint8_t const* sourceRowChanged)
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
    bool const unscaled = srcRect.width == dstRect.width && srcRect.height == dstRect.height;
    int const bytesPerPixel = BytesPerPixel(dst.GetPixelFormat());

    if (smooth && !unscaled && dst.GetPixelFormat() != PixelFormatPalette8) {
        // Target pixel centres mapped to source coordinates, 16.16 fixed
        // point: source = (target + 0.5) * srcSize / dstSize - 0.5.
        std::int64_t const stepX = (std::int64_t(srcRect.width) << 16) / dstRect.width;
        std::int64_t const stepY = (std::int64_t(srcRect.height) << 16) / dstRect.height;
        m_columns.resize(std::size_t(visible.width));
        for (int i = 0; i < visible.width; ++i) {
            SmoothColumn& column = m_columns[std::size_t(i)];
            std::int64_t const x = stepX / 2 - 0x8000 + std::int64_t(visible.x - dstRect.x + i) * stepX;
            SourceNeighbours(x, srcRect.width - 1, column.left, column.right, column.share);
        }
        std::size_t const leftBytes = std::size_t(srcRect.x) * BytesPerPixel(src.GetPixelFormat());
        // Two rows mixed across, each wide enough for any target format.
        m_mixedRows[0].resize(std::size_t(visible.width));
        m_mixedRows[1].resize(std::size_t(visible.width));
        int mixedRow[2] = {-1, -1};
        auto mixed = [&](int row) -> void const* {
            for (int k = 0; k < 2; ++k) {
                if (mixedRow[k] == row)
                    return m_mixedRows[k].data();
            }
            // The row not asked for by the current pair is replaced.
            int const k = mixedRow[0] < mixedRow[1] ? 0 : 1;
            loops->across(src.Row(srcRect.y + row) + leftBytes, m_mixedRows[k].data(), visible.width,
                m_columns.data(), table);
            mixedRow[k] = row;
            return m_mixedRows[k].data();
        };
        for (int y = visible.y; y < visible.Bottom(); ++y) {
            std::int64_t const sy = stepY / 2 - 0x8000 + std::int64_t(y - dstRect.y) * stepY;
            int above, below;
            unsigned fy;
            SourceNeighbours(sy, srcRect.height - 1, above, below, fy);
            void const* upper = mixed(above);
            void const* lower = below == above ? upper : mixed(below);
            loops->down(upper, lower, fy, dst.Row(y) + std::ptrdiff_t(visible.x) * bytesPerPixel, visible.width);
        }
        dst.MarkChanged();
        return true;
    }

    // Each target pixel samples the source at its centre: source x =
    // floor((dx + 0.5) * srcWidth / dstWidth). The step is rounded down, so a
    // small bias (more than the rounding can lose over a row, less than the
    // smallest fraction that matters) keeps exact ratios exact.
    bool const sameWidth = srcRect.width == dstRect.width;
    RowLoop const loop = sameWidth ? loops->unscaled : loops->scaled;
    std::uint64_t const step = (std::uint64_t(srcRect.width) << 32) / std::uint64_t(dstRect.width);
    std::uint64_t const bias = sameWidth ? 0 : std::uint64_t(dstRect.width) + 1;
    std::uint64_t const pos0 = (std::uint64_t(srcRect.x) << 32) + step / 2 + bias
        + std::uint64_t(visible.x - dstRect.x) * step;

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
