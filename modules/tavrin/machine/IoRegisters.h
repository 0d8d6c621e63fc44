// The I/O registers as halfwords of IoPage, and the offsets the machine
// gives meaning to. IoPage holds what was last stored (and what the machine
// set); software loads go through MachineReadIo16 and every store through
// MachineWriteIo (ReadIo16 and WriteIo for the bus: cpu/ArmHooks.h), which
// keeps the machine's derived state in step.
#pragma once

#include "modules/tavrin/bus/MemoryBus.h"

#include <cstdint>
#include <cstring>

namespace Tavrin {

namespace Io {
inline constexpr uint32_t DispCnt = 0x000;
inline constexpr uint32_t DispStat = 0x004;
inline constexpr uint32_t VCount = 0x006;
inline constexpr uint32_t Bg0Cnt = 0x008;
inline constexpr uint32_t Mosaic = 0x04C;
inline constexpr uint32_t BldCnt = 0x050;
inline constexpr uint32_t BldAlpha = 0x052;
inline constexpr uint32_t BldY = 0x054;
inline constexpr uint32_t SoundCntH = 0x082;
inline constexpr uint32_t SoundCntX = 0x084;
inline constexpr uint32_t DmaBase = 0x0B0; // + 12 n: source, destination, count, control
inline constexpr uint32_t TimerBase = 0x100; // + 4 n: counter/reload, control
inline constexpr uint32_t SioCnt = 0x128;
inline constexpr uint32_t KeyInput = 0x130;
inline constexpr uint32_t KeyCnt = 0x132;
inline constexpr uint32_t ExtraKeys = 0x136;
inline constexpr uint32_t Ie = 0x200;
inline constexpr uint32_t If = 0x202;
inline constexpr uint32_t WaitCnt = 0x204;
inline constexpr uint32_t Ime = 0x208;
inline constexpr uint32_t HaltCnt = 0x300;
// The registers end here; above them only the memory control word (two
// halfwords) answers, at this offset of every 64 KB of the region.
inline constexpr uint32_t RegisterEnd = 0x400;
inline constexpr uint32_t MemoryControl = 0x800;
inline constexpr uint32_t MemoryControlAtReset = 0x0D000020;

inline constexpr uint32_t DmaSource(uint32_t n) { return DmaBase + 12 * n; }
inline constexpr uint32_t DmaDest(uint32_t n) { return DmaBase + 12 * n + 4; }
inline constexpr uint32_t DmaCount(uint32_t n) { return DmaBase + 12 * n + 8; }
inline constexpr uint32_t DmaControl(uint32_t n) { return DmaBase + 12 * n + 10; }
inline constexpr uint32_t TimerCounter(uint32_t n) { return TimerBase + 4 * n; }
inline constexpr uint32_t TimerControl(uint32_t n) { return TimerBase + 4 * n + 2; }
} // namespace Io

inline uint32_t IoGet(uint32_t offset)
{
    uint16_t v;
    std::memcpy(&v, IoPage + offset, 2);
    return v;
}
inline void IoSet(uint32_t offset, uint32_t value)
{
    uint16_t v = uint16_t(value);
    std::memcpy(IoPage + offset, &v, 2);
}
// Two halfwords as one 32-bit value, low first.
inline uint32_t IoGet32(uint32_t offset) { return IoGet(offset) | IoGet(offset + 2) << 16; }

// The bus's I/O accesses (cpu/ArmHooks.h): address has bits 31-28 cleared;
// a halfword load ignores bit 0, a word load bits 1-0.
void MachineWriteIo(uint32_t address, uint32_t value);
uint32_t MachineReadIo16(uint32_t address);
uint32_t MachineReadIo32(uint32_t address);

// IF & IE while IME bit 0 is set, else 0.
inline uint32_t PendingInterrupts() { return (IoGet(Io::Ime) & 1) ? IoGet(Io::If) & IoGet(Io::Ie) : 0; }

} // namespace Tavrin
