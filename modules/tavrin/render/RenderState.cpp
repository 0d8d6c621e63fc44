#include "modules/tavrin/render/RenderState.h"

#include <cstring>

namespace Tavrin {

uint32_t BgOrder[4];
uint32_t BlendEva, BlendEvb, BlendEvy;
uint32_t BgMosaicH, BgMosaicV, ObjMosaicH, ObjMosaicV;
int32_t BgCurX[2], BgCurY[2];
int32_t BgRefX[2], BgRefY[2];
int32_t BgPa[2], BgPb[2], BgPc[2], BgPd[2];
uint16_t *BgPalette;
uint16_t *ObjPalette;
uint8_t *FrameBuffer;
uint16_t ColorToHostTable[65536];
uint32_t SpreadColorTable[65536];
uint8_t WindowLine[LineBufferColumns];
uint16_t SecondTargetLine[LineBufferColumns];

namespace {
// The guard-band columns of the window line start open to every layer, so a
// tile row reaching past the picture edge is drawn whole; nothing drawn
// there is ever shown.
struct OpenGuardBands {
    OpenGuardBands() { std::memset(WindowLine, 0xFF, sizeof WindowLine); }
} openGuardBands;
} // namespace
SpriteRecord SpriteList[SpriteListCapacity] = {{-1, 0, 0, 0, 0, 0}};
uint32_t FrameSkipCountdown = 1;
uint32_t FrameSkipPeriod = 1;

} // namespace Tavrin
