#include "modules/tavrin/render/AffineTexture.h"

#include "modules/tavrin/render/HostPalette.h"
#include "modules/tavrin/render/HostVectors.h"
#include "modules/tavrin/render/RenderMemory.h"

#include <cstring>

#ifdef TAVRIN_HOST_AVX2
#include <immintrin.h>
#endif

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
    uint32_t generation = 0;        // counts the decodings
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
    ++t.generation;
    t.parts = PartsOf(mapBase, mapBase + tilesAcross * tilesAcross) |
              PartsOf(tileBase, tileBase + (lastTile + 1) * 64);
}

#ifdef TAVRIN_HOST_AVX2
// The host colours of a texture's texels, for the layers without effect.
// Built only once the texels and the converted palette have stayed as they
// are for this many lines: a game that changes either every few frames
// would pay for a building it hardly uses.
constexpr uint32_t SteadyLinesBeforeBuild = 4 * 160;

struct HostTexture {
    uint32_t generation = 0;  // of the texels built from
    uint16_t palette[256 + 2] = {};  // two more, which the four-byte gathers read
    uint32_t steadyLines = 0;
    bool built = false;
    alignas(64) uint32_t colors[1u << (2 * LargestLog2)];
};

HostTexture hostTextures[2];

TAVRIN_AVX2 void BuildHostColors(HostTexture &h, const uint8_t *texels, uint32_t count)
{
    const int *entries = reinterpret_cast<const int *>(h.palette);
    const __m256i entryMask = _mm256_set1_epi32(0xFFFF), zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi32(0x10000);
    for (uint32_t n = 0; n < count; n += 8) {
        const __m256i texel = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(texels + n)));
        const __m256i color = _mm256_and_si256(_mm256_i32gather_epi32(entries, texel, 2), entryMask);
        const __m256i mark = _mm256_andnot_si256(_mm256_cmpeq_epi32(texel, zero), opaque);
        _mm256_store_si256(reinterpret_cast<__m256i *>(h.colors + n), _mm256_or_si256(color, mark));
    }
}
#endif

} // namespace

#ifdef TAVRIN_HOST_AVX2
const uint32_t *AffineHostTexels(uint32_t i, uint32_t cnt)
{
    const AffineTexture &t = textures[i];
    HostTexture &h = hostTextures[i];
    if (h.generation != t.generation || std::memcmp(h.palette, HostPalette, 512) != 0) {
        h.generation = t.generation;
        std::memcpy(h.palette, HostPalette, 512);
        h.steadyLines = 0;
        h.built = false;
        return nullptr;
    }
    if (h.built)
        return h.colors;
    if (++h.steadyLines < SteadyLinesBeforeBuild)
        return nullptr;
    BuildHostColors(h, t.texels, 1u << (2 * (7 + (cnt >> 14))));
    h.built = true;
    return h.colors;
}
#endif

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
