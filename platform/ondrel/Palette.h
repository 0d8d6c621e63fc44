#pragma once

#include <cstdint>

namespace Ondrel {

// One palette colour, laid out as the bytes blue, green, red, 0.
struct PaletteEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;

    static PaletteEntry FromRgb(std::uint32_t rgb)
    {
        return PaletteEntry{std::uint8_t(rgb), std::uint8_t(rgb >> 8), std::uint8_t(rgb >> 16), 0};
    }
    std::uint32_t ToRgb() const { return (std::uint32_t(red) << 16) | (std::uint32_t(green) << 8) | blue; }
    friend bool operator==(PaletteEntry const&, PaletteEntry const&) = default;
};

// The 256 colours of an 8-bit surface. A new palette holds the 3-3-2 colour
// cube (index = rrrgggbb), so that any colour has a fair nearest match.
class Palette {
public:
    static constexpr int Size = 256;

    Palette();

    // Out-of-range indexes read as black and are ignored when set.
    PaletteEntry Get(int index) const;
    void Set(int index, PaletteEntry entry);

    // The index whose colour is closest (squared distance in RGB) to the
    // given one; the lowest such index on ties.
    int FindNearest(PaletteEntry colour) const;

    PaletteEntry const* Entries() const { return m_entries; }

    // Changes whenever an entry changes, and no two palettes share one, so
    // converters can keep a table made from a palette.
    unsigned GetVersion() const { return m_version; }

private:
    PaletteEntry m_entries[Size];
    unsigned m_version;
};

} // namespace Ondrel
