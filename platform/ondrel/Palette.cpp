#include "platform/ondrel/Palette.h"

#include <atomic>

namespace Ondrel {

namespace {
std::atomic<unsigned> lastVersion{0};
unsigned NextVersion() { return ++lastVersion; }
}

Palette::Palette() : m_version(NextVersion())
{
    // 3-3-2 cube: widen each field so that its top value is full intensity.
    for (int i = 0; i < Size; ++i) {
        int const r = (i >> 5) & 7, g = (i >> 2) & 7, b = i & 3;
        m_entries[i] = PaletteEntry{std::uint8_t(b * 255 / 3), std::uint8_t(g * 255 / 7), std::uint8_t(r * 255 / 7), 0};
    }
}

PaletteEntry Palette::Get(int index) const
{
    if (index < 0 || index >= Size)
        return PaletteEntry{};
    return m_entries[index];
}

void Palette::Set(int index, PaletteEntry entry)
{
    if (index < 0 || index >= Size)
        return;
    entry.reserved = 0;
    m_entries[index] = entry;
    m_version = NextVersion();
}

int Palette::FindNearest(PaletteEntry colour) const
{
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < Size; ++i) {
        int const dr = int(m_entries[i].red) - colour.red;
        int const dg = int(m_entries[i].green) - colour.green;
        int const db = int(m_entries[i].blue) - colour.blue;
        int const distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0)
                break;
        }
    }
    return best;
}

} // namespace Ondrel
