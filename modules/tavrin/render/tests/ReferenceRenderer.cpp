#include "modules/tavrin/render/tests/ReferenceRenderer.h"

#include "modules/tavrin/testing/RenderFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace Tavrin::Test {

namespace {

struct Rgb {
    uint32_t r, g, b;
};

Rgb Split(uint32_t c) { return {c & 31, (c >> 5) & 31, (c >> 10) & 31}; }
uint32_t Join(Rgb p) { return p.r | p.g << 5 | p.b << 10; }

uint32_t Blend(uint32_t top, uint32_t below)
{
    Rgb a = Split(top), b = Split(below);
    auto mix = [](uint32_t x, uint32_t y) { return std::min<uint32_t>(31, (x * BlendEva + y * BlendEvb) / 16); };
    return Join({mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)});
}

uint32_t Lighter(uint32_t c)
{
    Rgb p = Split(c);
    auto up = [](uint32_t x) { return x + (31 - x) * BlendEvy / 16; };
    return Join({up(p.r), up(p.g), up(p.b)});
}

uint32_t Darker(uint32_t c)
{
    Rgb p = Split(c);
    auto down = [](uint32_t x) { return x * (16 - BlendEvy) / 16; };
    return Join({down(p.r), down(p.g), down(p.b)});
}

uint16_t ToHost(uint32_t c)
{
    Rgb p = Split(c);
    return uint16_t(p.r << 11 | (p.g * 63 / 31) << 5 | p.b);
}

struct Scene {
    const uint8_t *io, *vram, *oam;
    const uint16_t *bgPal, *objPal;
    uint32_t line;

    uint32_t Reg(uint32_t off) const { return io[off] | io[off + 1] << 8; }
    uint32_t V8(uint32_t off) const { return vram[off]; }
    uint32_t V16(uint32_t off) const { return vram[off] | vram[off + 1] << 8; }
    uint32_t Attr(int n, int half) const { return oam[n * 8 + half * 2] | oam[n * 8 + half * 2 + 1] << 8; }
    int32_t Param(int g, int k) const { return int16_t(oam[32 * g + 8 * k + 6] | oam[32 * g + 8 * k + 7] << 8); }
};

// --- windows -------------------------------------------------------------

bool InWindow(uint32_t x, uint32_t line, uint32_t h, uint32_t v)
{
    uint32_t top = v >> 8, bottom = v & 255;
    bool rows = top <= bottom ? (line >= top && line < bottom) : (line >= top || line < bottom);
    uint32_t left = std::min<uint32_t>(h >> 8, 240), right = std::min<uint32_t>(h & 255, 240);
    bool cols = left <= right ? (x >= left && x < right) : (x >= left || x < right);
    return rows && cols;
}

// --- sprites ---------------------------------------------------------------

struct Sprite {
    int n;
    uint32_t a0, a1, a2;
    int32_t x, y, w, h;
};

const int WidthTiles[4][4] = {{1, 2, 4, 8}, {2, 4, 4, 8}, {1, 1, 2, 4}, {1, 2, 4, 8}};
const int HeightTiles[4][4] = {{1, 2, 4, 8}, {1, 1, 2, 4}, {2, 4, 4, 8}, {1, 2, 4, 8}};

std::vector<Sprite> ListedSprites(const Scene &s)
{
    std::vector<Sprite> list;
    bool bitmap = (s.Reg(0) & 7) >= 3;
    for (int prio = 3; prio >= 0; --prio)
        for (int n = 127; n >= 0; --n) {
            Sprite sp{n, s.Attr(n, 0), s.Attr(n, 1), s.Attr(n, 2), 0, 0, 0, 0};
            if (int((sp.a2 >> 10) & 3) != prio)
                continue;
            bool affine = sp.a0 & 0x100, doubled = sp.a0 & 0x200;
            if (!affine && doubled)
                continue;
            if (bitmap && (sp.a2 & 0x3FF) < 512)
                continue;
            sp.x = sp.a1 & 511;
            if (sp.x > 448)
                sp.x -= 512;
            sp.y = sp.a0 & 255;
            if (sp.y > 192)
                sp.y -= 256;
            int shape = sp.a0 >> 14, size = sp.a1 >> 14;
            sp.w = WidthTiles[shape][size] * 8 * (affine && doubled ? 2 : 1);
            sp.h = HeightTiles[shape][size] * 8 * (affine && doubled ? 2 : 1);
            list.push_back(sp);
        }
    return list;
}

// The palette index (bank included) of a sprite at screen (x, line), 0 if
// transparent or outside.
uint32_t SpriteTexel(const Scene &s, const Sprite &sp, int32_t x)
{
    int32_t line = int32_t(s.line);
    if (line < sp.y || line >= sp.y + sp.h || x < sp.x || x >= sp.x + sp.w)
        return 0;
    bool c256 = sp.a0 & 0x2000;
    bool oneDim = s.Reg(0) & 0x40;
    int32_t col = x - sp.x, row = line - sp.y;
    int32_t tx, ty, tw = sp.w, th = sp.h;
    if (sp.a0 & 0x100) {
        if (sp.a0 & 0x200) {
            tw /= 2;
            th /= 2;
        }
        int g = (sp.a1 >> 9) & 31;
        int32_t pa = s.Param(g, 0), pb = s.Param(g, 1), pc = s.Param(g, 2), pd = s.Param(g, 3);
        int32_t dy = line - sp.h / 2 - sp.y;
        int32_t fx = pb * dy - (pa * sp.w) / 2 + pa * col;
        int32_t fy = pd * dy - (pc * sp.w) / 2 + pc * col;
        tx = tw / 2 + (fx >> 8);
        ty = th / 2 + (fy >> 8);
        if (tx < 0 || tx >= tw || ty < 0 || ty >= th)
            return 0;
        if (sp.a0 & 0x1000) {
            tx -= tx % int32_t(ObjMosaicH + 1);
            ty -= ty % int32_t(ObjMosaicV + 1);
        }
    } else {
        tx = (sp.a1 & 0x1000) ? sp.w - 1 - col : col;
        ty = (sp.a1 & 0x2000) ? sp.h - 1 - row : row;
    }
    uint32_t tileStep = c256 ? 2 : 1;
    uint32_t first = sp.a2 & 0x3FF;
    if (!oneDim && c256)
        first &= ~1u;
    uint32_t rowTiles = oneDim ? uint32_t(tw / 8) * tileStep : 32;
    uint32_t tile = first + uint32_t(ty / 8) * rowTiles + uint32_t(tx / 8) * tileStep;
    uint32_t off = tile * 32 + (c256 ? (ty % 8) * 8 + tx % 8 : (ty % 8) * 4 + (tx % 8) / 2);
    uint32_t byte = s.V8(0x10000 + (off & 0x7FFF));
    if (c256)
        return byte;
    uint32_t nibble = (tx % 2) ? byte >> 4 : byte & 15;
    return nibble ? (sp.a2 >> 12) * 16 + nibble : 0;
}

// --- backgrounds -----------------------------------------------------------

// Colour of a text background at console column x, or -1 when transparent.
int32_t TextPixel(const Scene &s, uint32_t cnt, uint32_t n, int32_t x)
{
    uint32_t hofs = s.Reg(0x10 + 4 * n) & 511, vofs = s.Reg(0x12 + 4 * n);
    bool wide = cnt & 0x4000, tall = cnt & 0x8000, mosaic = cnt & 0x40;
    uint32_t width = wide ? 512 : 256;
    uint32_t y = (vofs + s.line) % (tall ? 512 : 256);
    if (mosaic)
        y -= y % (BgMosaicV + 1);
    uint32_t k = uint32_t(x) + (hofs & 7);
    uint32_t k0 = mosaic ? k - k % (BgMosaicH + 1) : k;
    auto entryAt = [&](uint32_t mapX) {
        uint32_t block = (mapX / 256) + (y / 256) * (wide ? 2 : 1);
        uint32_t addr = ((cnt >> 8) & 31) * 2048 + block * 2048 + ((y / 8) % 32) * 64 + ((mapX / 8) % 32) * 2;
        return s.V16(addr);
    };
    uint32_t mapX = ((hofs & ~7u) + k) % width;
    uint32_t mapX0 = ((hofs & ~7u) + k0) % width;
    uint32_t e0 = entryAt(mapX0);
    uint32_t px = (e0 & 0x400) ? 7 - mapX0 % 8 : mapX0 % 8;
    uint32_t py = (e0 & 0x800) ? 7 - y % 8 : y % 8;
    uint32_t charBase = ((cnt >> 2) & 3) * 0x4000;
    uint32_t index;
    if (cnt & 0x80) {
        index = s.V8(((charBase + (e0 & 0x3FF) * 64) % 0x10000) + py * 8 + px);
        return index ? s.bgPal[index] : -1;
    }
    uint32_t byte = s.V8(((charBase + (e0 & 0x3FF) * 32) % 0x10000) + py * 4 + px / 2);
    index = (px % 2) ? byte >> 4 : byte & 15;
    uint32_t bank = entryAt(mapX) >> 12;
    return index ? s.bgPal[bank * 16 + index] : -1;
}

int32_t AffinePixel(const Scene &s, uint32_t cnt, uint32_t n, int32_t x)
{
    int i = n & 1;
    uint32_t size = 128u << (cnt >> 14);
    int32_t fx = int32_t(uint32_t(BgCurX[i]) + uint32_t(BgPa[i]) * uint32_t(x));
    int32_t fy = int32_t(uint32_t(BgCurY[i]) + uint32_t(BgPc[i]) * uint32_t(x));
    int64_t tx = fx >> 8, ty = fy >> 8;
    if (cnt & 0x2000) {
        tx = ((tx % size) + size) % size;
        ty = ((ty % size) + size) % size;
    } else if (tx < 0 || ty < 0 || tx >= size || ty >= size) {
        return -1;
    }
    if (cnt & 0x40) {
        tx -= tx % (BgMosaicH + 1);
        ty -= ty % (BgMosaicV + 1);
    }
    uint32_t tile = s.V8(((cnt >> 8) & 31) * 2048 + uint32_t(ty / 8) * (size / 8) + uint32_t(tx / 8));
    uint32_t index = s.V8(((cnt >> 2) & 3) * 0x4000 + tile * 64 + uint32_t(ty % 8) * 8 + uint32_t(tx % 8));
    return index ? s.bgPal[index] : -1;
}

int32_t BitmapPixel(const Scene &s, uint32_t mode, int32_t x)
{
    uint32_t page = (mode != 3 && (s.Reg(0) & 0x10)) ? 0xA000 : 0;
    uint32_t tx = uint32_t(int32_t(uint32_t(BgCurX[0]) + uint32_t(BgPa[0]) * uint32_t(x)) >> 8);
    uint32_t ty = uint32_t(int32_t(uint32_t(BgCurY[0]) + uint32_t(BgPc[0]) * uint32_t(x)) >> 8);
    if (s.Reg(0x0C) & 0x40) {
        tx -= tx % (BgMosaicH + 1);
        ty -= ty % (BgMosaicV + 1);
    }
    uint32_t w = mode == 5 ? 160 : 240, h = mode == 5 ? 128 : 160;
    if (tx >= w || ty >= h)
        return -1;
    if (mode == 4) {
        uint32_t index = s.V8(page + ty * 240 + tx);
        return index ? s.bgPal[index] : -1;
    }
    return s.V16(page + (ty * w + tx) * 2);
}

// --- one pixel -------------------------------------------------------------

struct Layer {
    enum { Background, Sprites } type;
    uint32_t word;      // BgOrder word, or the lowest sprite priority of the band
    uint32_t v;         // variant
    uint32_t kind;      // 0 text, 1 affine, 2 bitmap
};

struct PixelState {
    uint32_t color;
    uint32_t second;
};

void Put(PixelState &p, uint32_t c, uint32_t v, uint8_t window)
{
    uint32_t effect = v & 3;
    if (window & 0x20) {
        if (effect == 1 && p.second)
            c = Blend(c, p.second);
        else if (effect == 2)
            c = Lighter(c);
        else if (effect == 3)
            c = Darker(c);
    }
    p.color = c & 0x7FFF;
    p.second = (v & 4) ? (c | 0x8000) : 0;
}

} // namespace

void ReferenceLine(const RenderBlocks &blocks, uint32_t line, uint16_t out[240])
{
    Scene s{blocks.io.get(), blocks.vram.get(), blocks.oam.get(), BgPalette, ObjPalette, line};
    uint32_t dispcnt = s.Reg(0), bldcnt = s.Reg(0x50), mode = dispcnt & 7;
    if (dispcnt & 0x80) {
        std::fill(out, out + 240, ToHost(0x7FFF));
        return;
    }
    std::vector<Sprite> sprites = ListedSprites(s);
    uint32_t bldEffect = (bldcnt >> 6) & 3;
    auto variant = [&](uint32_t bit) { return ((bldcnt >> bit) & 1 ? bldEffect : 0) + ((bldcnt >> (bit + 8)) & 1) * 4; };

    // Drawing order, back to front.
    std::vector<Layer> layers;
    uint32_t objV = variant(4);
    bool objOn = dispcnt & 0x1000;
    if (mode <= 2) {
        static const int kinds[3][4] = {{0, 0, 0, 0}, {0, 0, 1, -1}, {-1, -1, 1, 1}};
        if (objOn)
            layers.push_back({Layer::Sprites, (BgOrder[0] & 3) + 1, objV, 0});
        for (int i = 0; i < 4; ++i) {
            uint32_t d = BgOrder[i], n = (d >> 28) & 3;
            if (kinds[mode][n] >= 0 && (dispcnt & (0x100u << n)))
                layers.push_back({Layer::Background, d, (d >> 24) & 7, uint32_t(kinds[mode][n])});
            uint32_t q = i < 3 ? (BgOrder[i + 1] & 3) + 1 : 0;
            if (objOn && q <= (d & 3))
                layers.push_back({Layer::Sprites, q, objV, 0});
        }
    } else if (mode <= 5) {
        if (objOn)
            layers.push_back({Layer::Sprites, (s.Reg(0x0C) & 3) + 1, objV, 0});
        if (dispcnt & 0x400)
            layers.push_back({Layer::Background, 2u << 28, variant(2), 2});
        if (objOn)
            layers.push_back({Layer::Sprites, 0, objV, 0});
    }

    uint32_t backdrop = s.bgPal[0];
    for (int32_t x = 0; x < 240; ++x) {
        uint8_t window = 0xFF;
        if (dispcnt & 0xE000) {
            if ((dispcnt & 0x2000) && InWindow(x, line, s.Reg(0x40), s.Reg(0x44)))
                window = uint8_t(s.Reg(0x48));
            else if ((dispcnt & 0x4000) && InWindow(x, line, s.Reg(0x42), s.Reg(0x46)))
                window = uint8_t(s.Reg(0x48) >> 8);
            else if ((dispcnt & 0x8000) &&
                     std::any_of(sprites.begin(), sprites.end(), [&](const Sprite &sp) {
                         return ((sp.a0 >> 10) & 3) == 2 && SpriteTexel(s, sp, x) != 0;
                     }))
                window = uint8_t(s.Reg(0x4A) >> 8);
            else
                window = uint8_t(s.Reg(0x4A));
        }

        PixelState p{backdrop & 0x7FFF, (bldcnt & 0x2000) ? (backdrop | 0x8000) : 0};
        if ((bldcnt & 0x20) && (window & 0x20)) {
            if (bldEffect == 2)
                p.color = Lighter(backdrop);
            else if (bldEffect == 3)
                p.color = Darker(backdrop);
        }

        std::vector<bool> drawn(sprites.size(), false);
        if (mode < 6)
            for (const Layer &l : layers) {
                if (l.type == Layer::Sprites) {
                    for (size_t k = 0; k < sprites.size(); ++k) {
                        const Sprite &sp = sprites[k];
                        if (drawn[k] || ((sp.a2 >> 10) & 3) < l.word)
                            continue;
                        drawn[k] = true;
                        uint32_t objMode = (sp.a0 >> 10) & 3;
                        if (objMode >= 2 || !(window & 0x10))
                            continue;
                        uint32_t index = SpriteTexel(s, sp, x);
                        if (!index)
                            continue;
                        uint32_t c = s.objPal[index];
                        if (objMode == 1) {
                            if (p.second)
                                c = Blend(c, p.second);
                            else if ((window & 0x20) && bldEffect == 2)
                                c = Lighter(c);
                            else if ((window & 0x20) && bldEffect == 3)
                                c = Darker(c);
                            p.color = c & 0x7FFF;
                            p.second = (l.v & 4) ? (c | 0x8000) : 0;
                        } else {
                            Put(p, c, l.v, window);
                        }
                    }
                    continue;
                }
                uint32_t n = (l.word >> 28) & 3;
                if (!(window & (1u << n)))
                    continue;
                int32_t c = l.kind == 0   ? TextPixel(s, l.word & 0xFFFF, n, x)
                            : l.kind == 1 ? AffinePixel(s, l.word & 0xFFFF, n, x)
                                          : BitmapPixel(s, mode, x);
                if (c >= 0)
                    Put(p, uint32_t(c), l.v, window);
            }
        out[x] = ToHost(p.color);
    }
}

int CompareFrameWithReference(RenderBlocks &blocks, const std::string &what,
                              const std::function<void(uint32_t line)> &beforeLine, bool rebuildEveryLine)
{
    int differing = 0;
    DrawFrame(blocks, [&](uint32_t line) {
        if (beforeLine)
            beforeLine(line);
        if (rebuildEveryLine)
            RenderDirtyFlags = 0xFF;
        RenderLine();
        uint16_t want[240];
        ReferenceLine(blocks, line, want);
        for (int x = 0; x < 240; ++x) {
            uint16_t got = blocks.Pixel(x, int(line));
            if (got != want[x] && ++differing <= 5)
                ADD_FAILURE() << what << " line " << line << " column " << x << ": got " << std::hex << got
                              << " want " << want[x];
        }
    });
    return differing;
}

} // namespace Tavrin::Test
