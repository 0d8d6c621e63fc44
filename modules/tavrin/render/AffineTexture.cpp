#include "modules/tavrin/render/AffineTexture.h"

#include "modules/tavrin/render/RenderMemory.h"

#include <cstring>

namespace Tavrin {

namespace {

constexpr uint32_t LargestLog2 = 8;
// The control bits that shape the texels: size, map base and tile base.
constexpr uint32_t ShapeBits = 0xDF0C;

struct AffineTexture {
    const uint8_t *vram = nullptr;  // the block decoded from; null: nothing kept
    uint32_t shape = 0;
    uint64_t parts = 0;             // the VRAM parts read
    uint32_t decodedOnLine = 0;
    bool decodedOnce = false;
    // Three bytes past the last texel: a vector gather reads four bytes
    // at a texel and keeps the first.
    alignas(64) uint8_t texels[(1u << (2 * LargestLog2)) + 4];
};

AffineTexture textures[2];

inline uint64_t PartsOf(uint32_t first, uint32_t end)
{
    const uint32_t a = first >> VramPartShift, b = (end - 1) >> VramPartShift;
    return (b - a == 63 ? ~uint64_t(0) : (uint64_t(2) << (b - a)) - 1) << a;
}

void Decode(AffineTexture &t, const uint8_t *vram, uint32_t cnt)
{
    const uint32_t sizeLog2 = 7 + (cnt >> 14);
    const uint32_t size = 1u << sizeLog2, tilesAcross = size / 8;
    const uint32_t mapBase = ((cnt >> 8) & 31) * 0x800, tileBase = ((cnt >> 2) & 3) * 0x4000;
    const uint8_t *map = vram + mapBase;
    const uint8_t *tiles = vram + tileBase;
    uint32_t lastTile = 0;
    for (uint32_t ty = 0; ty < tilesAcross; ++ty) {
        uint8_t *rows = t.texels + ty * 8 * size;
        for (uint32_t tx = 0; tx < tilesAcross; ++tx) {
            const uint32_t tile = map[ty * tilesAcross + tx];
            lastTile = tile > lastTile ? tile : lastTile;
            const uint8_t *from = tiles + tile * 64;
            for (uint32_t r = 0; r < 8; ++r)
                std::memcpy(rows + r * size + tx * 8, from + r * 8, 8);
        }
    }
    t.vram = vram;
    t.shape = cnt & ShapeBits;
    t.parts = PartsOf(mapBase, mapBase + tilesAcross * tilesAcross) |
              PartsOf(tileBase, tileBase + (lastTile + 1) * 64);
}

} // namespace

const uint8_t *AffineTexels(uint32_t i, uint32_t cnt, uint32_t line)
{
    if ((cnt >> 14) > LargestLog2 - 7)
        return nullptr;
    AffineTexture &t = textures[i];
    const uint8_t *vram = RenderVramBlock();
    if (t.vram == vram && t.shape == (cnt & ShapeBits))
        return t.texels;
    // Once a frame at most: a line at or above the last decoding's starts a
    // new frame.
    if (t.decodedOnce && line > t.decodedOnLine)
        return nullptr;
    Decode(t, vram, cnt);
    t.decodedOnce = true;
    t.decodedOnLine = line;
    return t.texels;
}

void DropAffineTexels(uint64_t parts)
{
    for (AffineTexture &t : textures)
        if (t.parts & parts)
            t.vram = nullptr;
}

} // namespace Tavrin
