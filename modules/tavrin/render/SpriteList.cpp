#include "modules/tavrin/render/SpriteList.h"

#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/RenderState.h"

namespace Tavrin {

bool SemiTransparentListed = true;
LineSpriteRecords LineSprites[SpriteLines];
uint32_t SpriteBandEnds[5];

void BuildObjList()
{
    const uint8_t *oam = RenderOamBlock();
    // In the bitmap modes the first 512 sprite tiles are bitmap memory.
    const bool bitmapMode = (RenderIo(IoDispcnt) & 7) >= 3;
    int count = 0;
    bool semiTransparent = false;
    for (uint32_t p = 4; p-- > 0;) {
        for (int n = 127; n >= 0; --n) {
            const uint8_t *e = oam + n * 8;
            uint32_t a0 = HostHalf(e), a1 = HostHalf(e + 2), a2 = HostHalf(e + 4);
            if (((a2 >> 10) & 3) != p)
                continue;
            if ((a0 & 0x300) == 0x200)
                continue;
            if (bitmapMode && !(a2 & 0x200))
                continue;
            int32_t x = a1 & 0x1FF;
            if (x > 448)
                x -= 512;
            int32_t y = a0 & 0xFF;
            if (y > 192)
                y -= 256;
            uint32_t k = (a0 >> 14) * 4 + (a1 >> 14);
            int32_t width = SpriteWidthTiles[k] * 8, height = SpriteHeightTiles[k] * 8;
            if ((a0 & 0x300) == 0x300) {
                width *= 2;
                height *= 2;
            }
            if (y > 159 || y + height <= 0 || x >= 240 || x + width <= 0)
                continue;
            SpriteList[count++] = {int32_t(p), x, y, width, height, n};
            semiTransparent |= ((a0 >> 10) & 3) == 1;
        }
    }
    SpriteList[count] = {-1, 0, 0, 0, 0, 0};
    SemiTransparentListed = semiTransparent;

    for (LineSpriteRecords &on : LineSprites)
        on.count = on.priorities = 0;
    for (int i = 0; i < count; ++i) {
        const SpriteRecord &r = SpriteList[i];
        const int32_t top = r.y < 0 ? 0 : r.y;
        const int32_t bottom = r.y + r.height > SpriteLines ? SpriteLines : r.y + r.height;
        for (int32_t line = top; line < bottom; ++line) {
            LineSpriteRecords &on = LineSprites[line];
            on.record[on.count++] = uint8_t(i);
            on.priorities |= uint8_t(1u << r.priority);
        }
    }
    uint32_t i = 0;
    for (uint32_t bound = 4; bound-- > 0;) {
        // Records of priority `bound` and above come first.
        while (int32_t(i) < count && SpriteList[i].priority >= int32_t(bound))
            ++i;
        SpriteBandEnds[bound] = i;
    }
    SpriteBandEnds[4] = 0;
}

} // namespace Tavrin
