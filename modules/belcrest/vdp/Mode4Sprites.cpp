// How the chip finds the mode-4 sprites of a line: the first eight in
// table order (a ninth sets the overflow flag), magnified or not, and the
// collision flag when two of their opaque pixels meet on the screen.
#include "modules/belcrest/vdp/VdpRender.h"

#include <cstring>

namespace Belcrest {

namespace {

// Whether two sprites' opaque pixels meet inside columns 0-255.
bool PixelsMeet(const Mode4SpriteLine &line)
{
    bool used[256];
    std::memset(used, 0, sizeof used);
    for (int s = 0; s < line.count; ++s) {
        const Mode4LineSprite &sprite = line.sprites[s];
        const uint8_t opaque = sprite.planes[0] | sprite.planes[1] | sprite.planes[2] | sprite.planes[3];
        const unsigned cover = SpriteCover(opaque, line.zoom);
        for (int k = 0; k < 16; ++k) {
            const int column = sprite.x + k;
            if (!(cover & (0x8000u >> k)) || column < 0 || column > 255)
                continue;
            if (used[column])
                return true;
            used[column] = true;
        }
    }
    return false;
}

} // namespace

void FindMode4Sprites(int line, Mode4SpriteLine &out)
{
    const unsigned table = VdpTableBase[VdpSpriteTable];
    const unsigned patterns = VdpTableBase[VdpSpritePatterns];
    const int h = SpriteHeight();
    const int zoom = SpriteZoom();
    const unsigned size = unsigned(h) << zoom;
    out.count = 0;
    out.zoom = zoom;
    for (int i = 0; i < 64; ++i) {
        const unsigned y = Vram[table + i];
        if (y == 0xD0)
            break;
        // The chip compares with its 8-bit line counter: a sprite near the
        // bottom of the 256 lines wraps onto the top ones.
        const unsigned offset = unsigned(line - int(y) - 1) & 0xFF;
        if (offset >= size)
            continue;
        if (out.count == 8) {
            VdpStatus |= VdpStatusOverflow;
            break;
        }
        unsigned number = Vram[table + 129 + 2 * i];
        if (h == 16)
            number &= 0xFE;
        const unsigned at = (patterns + number * 32 + (offset >> zoom) * 4) & VramMask;
        Mode4LineSprite &sprite = out.sprites[out.count++];
        sprite.x = Vram[table + 128 + 2 * i] - ((VdpRegisters[0] & 0x08) ? 8 : 0);
        std::memcpy(sprite.planes, Vram + at, 4); // at is a multiple of 4: inside VRAM
    }
    if (out.count > 1 && !(VdpStatus & VdpStatusCollision) && PixelsMeet(out))
        VdpStatus |= VdpStatusCollision;
}

void VdpEvaluateSprites(int line)
{
    if (!DisplayOn())
        return;
    Mode4SpriteLine sprites;
    FindMode4Sprites(line, sprites);
}

} // namespace Belcrest
