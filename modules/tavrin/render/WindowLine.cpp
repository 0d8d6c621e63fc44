#include "modules/tavrin/render/WindowLine.h"

#include "modules/tavrin/render/RenderMemory.h"
#include "modules/tavrin/render/RenderState.h"
#include "modules/tavrin/render/SpriteWindow.h"

#include <algorithm>
#include <cstring>

namespace Tavrin {

namespace {

void Fill(uint32_t first, uint32_t end, uint8_t value)
{
    if (first < end)
        std::memset(WindowLine + PictureColumn + first, value, end - first);
}

void FillSpan(const WindowSpan &span, uint8_t value)
{
    Fill(span.first[0], span.end[0], value);
    Fill(span.first[1], span.end[1], value);
}

} // namespace

WindowSpan WindowSpanOn(uint32_t line, uint32_t h, uint32_t v)
{
    WindowSpan span{{0, 0}, {0, 0}};
    const uint32_t top = v >> 8 & 0xFF, bottom = v & 0xFF;
    const bool onLine = top <= bottom ? (top <= line && line < bottom) : (line >= top || line < bottom);
    if (!onLine)
        return span;
    const uint32_t left = std::min<uint32_t>(h >> 8 & 0xFF, 240);
    const uint32_t right = std::min<uint32_t>(h & 0xFF, 240);
    if (left <= right) {
        span.first[0] = left;
        span.end[0] = right;
    } else {
        span.first[0] = left;
        span.end[0] = 240;
        span.end[1] = right;
    }
    return span;
}

void BuildWindowLine(uint32_t line)
{
    const uint32_t dispcnt = RenderIo(IoDispcnt);
    if (!(dispcnt & 0xE000)) {
        Fill(0, 240, 0xFF);
        return;
    }
    const uint32_t winin = RenderIo(IoWinin);
    Fill(0, 240, uint8_t(RenderIo(IoWinout)));
    if (dispcnt & 0x8000)
        BuildObjWindowLine(line);
    if (dispcnt & 0x4000)
        FillSpan(WindowSpanOn(line, RenderIo(IoWin1h), RenderIo(IoWin1v)), uint8_t(winin >> 8));
    if (dispcnt & 0x2000)
        FillSpan(WindowSpanOn(line, RenderIo(IoWin0h), RenderIo(IoWin0v)), uint8_t(winin));
}

} // namespace Tavrin
