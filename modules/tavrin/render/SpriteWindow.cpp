#include "modules/tavrin/render/SpriteWindow.h"

#include "modules/tavrin/render/SpriteWalk.h"

namespace Tavrin {

namespace {

// Opaque texels mark their column; colour and palette bank play no part.
struct ObjWindowMarks {
    uint8_t inside;
    void operator()(unsigned col, uint32_t) const { WindowLine[col] = inside; }
    bool Shows(unsigned) const { return true; }
    void Row(unsigned col, uint64_t lanes, uint32_t) const
    {
        ForEachOpaqueLane(lanes, [&](unsigned k, uint32_t) { WindowLine[col + k] = inside; });
    }
    void NibbleRow(unsigned col, uint32_t bits, uint32_t bank) const { Row(col, SpreadNibbles(bits), bank); }
};

} // namespace

void BuildObjWindowLine(uint32_t line)
{
    const uint8_t inside = uint8_t(RenderIo(IoWinout) >> 8);
    ForEachSpriteOnLine(line, 0, SpriteListCapacity, [&](const SpriteRecord &r) {
        if (((SpriteAttribute(r, 0) >> 10) & 3) == 2)
            WalkSpriteLine(r, line, ObjWindowMarks{inside});
    });
}

} // namespace Tavrin
