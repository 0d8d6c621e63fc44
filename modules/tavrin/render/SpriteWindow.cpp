#include "modules/tavrin/render/SpriteWindow.h"

#include "modules/tavrin/render/SpriteWalk.h"

namespace Tavrin {

void BuildObjWindowLine(uint32_t line)
{
    const uint8_t inside = uint8_t(RenderIo(IoWinout) >> 8);
    for (int i = 0; i < SpriteListCapacity && SpriteList[i].priority >= 0; ++i) {
        const SpriteRecord &r = SpriteList[i];
        if (((SpriteAttribute(r, 0) >> 10) & 3) != 2 || !SpriteCoversLine(r, line))
            continue;
        WalkSpriteLine(r, line, [inside](unsigned col, uint32_t) { WindowLine[col] = inside; });
    }
}

} // namespace Tavrin
