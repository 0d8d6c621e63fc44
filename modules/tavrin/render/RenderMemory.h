// The machine's memory blocks as the line renderer sees them: the host blocks
// behind the I/O page, VRAM and sprite RAM, taken from the store page table
// so the renderer never holds pointers of its own.
#pragma once

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstdint>

namespace Tavrin {

inline const uint8_t *RenderIoBlock() { return WritePageTable[0x04000000u >> PageShift]; }
inline const uint8_t *RenderVramBlock() { return WritePageTable[0x06000000u >> PageShift]; }
inline const uint8_t *RenderOamBlock() { return WritePageTable[0x07000000u >> PageShift]; }

// A console register of the I/O page, by its byte offset.
inline uint32_t RenderIo(uint32_t offset) { return HostHalf(RenderIoBlock() + offset); }

inline constexpr uint32_t IoDispcnt = 0x000;
inline constexpr uint32_t IoVcount = 0x006;
inline constexpr uint32_t IoBg2cnt = 0x00C;
inline constexpr uint32_t IoWin0h = 0x040;
inline constexpr uint32_t IoWin1h = 0x042;
inline constexpr uint32_t IoWin0v = 0x044;
inline constexpr uint32_t IoWin1v = 0x046;
inline constexpr uint32_t IoWinin = 0x048;
inline constexpr uint32_t IoWinout = 0x04A;
inline constexpr uint32_t IoBldcnt = 0x050;

// The rebuild requests of RenderDirtyFlags that the compositor serves.
inline constexpr uint8_t DirtySecondTargets = 0x01;
inline constexpr uint8_t DirtyWindowLine = 0x02;
inline constexpr uint8_t DirtySpriteList = 0x04;

// Sprite tiles occupy the last 32 KB of VRAM; fetches wrap within them.
inline constexpr uint32_t SpriteTileBase = 0x10000;
inline constexpr uint32_t SpriteTileMask = 0x7FFF;

// The frame-buffer row of a line, indexed by buffer column (console column + 130).
inline uint16_t *FrameRow(uint32_t line)
{
    return reinterpret_cast<uint16_t *>(FrameBuffer + line * FrameBufferPitchBytes);
}

} // namespace Tavrin
