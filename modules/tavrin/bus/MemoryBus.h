// The handheld's 32-bit address space: one host pointer per 16 KB page for
// loads and one for stores, the wait-state tables, and the six bus functions
// through which every store (and every load that is not inlined by the CPU)
// passes.
#pragma once

#include <cstdint>
#include <cstring>

namespace Tavrin {

inline constexpr uint32_t PageShift = 14;
inline constexpr uint32_t PageSize = 1u << PageShift;
inline constexpr uint32_t PageCount = 1u << (32 - PageShift);

// Every entry always points at 16 KB of readable host memory: unmapped pages
// point at DummyPage, so no access ever tests for null.
extern uint8_t *ReadPageTable[PageCount];
extern uint8_t *WritePageTable[PageCount];
// Absorbs stores to read-only and unmapped pages. Starts as a built-in block
// so the tables are valid from program start; the machine may replace it
// with one of its own before mapping (BusClearMap then repoints everything).
extern uint8_t *DummyPage;
// The 16 KB I/O register block, or null before the machine maps it.
extern uint8_t *IoPage;

// 16-bit accesses from this address (bits 31-28 cleared) to the end of
// region 0xD reach the serial EEPROM: the whole region, or only its last
// 256 bytes when the cartridge image reaches into it (over 16 MB).
extern uint32_t EepromWindowStart;
inline bool IsEepromAddress(uint32_t address)
{
    uint32_t a28 = address & 0x0FFFFFFF;
    return a28 >= EepromWindowStart && a28 < 0x0E000000;
}

// The save memory (regions 0xE-0xF) sits on an 8-bit bus. A 16- or 32-bit
// load sees the one byte its address selects on every byte lane ($01 reads
// as $0101 or $01010101); a wider store writes only the byte of the value on
// the lane its address selects, as a byte store would.
inline bool IsSaveAddress(uint32_t a28) { return a28 >= 0x0E000000; }
inline uint32_t SaveLoadLanes(uint32_t address)
{
    return ReadPageTable[(address & 0x0FFFFFFF) >> PageShift][address & 0x3FFF] * 0x01010101u;
}

extern int32_t WaitCycles32[16];
extern int32_t WaitCycles16[16];

// Machine words the bus touches: LogFlags bit 2 switches the unaligned-access
// trace; RenderDirtyFlags bit 2 asks the renderer to rebuild its sprite list,
// bit 4 says palette RAM was stored to, bit 3 that VRAM and palette RAM may
// have changed in ways no store reported (a reset, a loaded state, a new
// map), so the renderer drops what it keeps decoded from them.
extern uint32_t LogFlags;
extern uint8_t RenderDirtyFlags;
inline constexpr uint8_t DirtyWholeMemory = 0x08;
inline constexpr uint8_t DirtyPalette = 0x10;

// VRAM in 2 KB parts, the mirror of its last 32 KB folded onto them: bit n
// is set by every store into bytes [n * 2 KB, n * 2 KB + 2 KB), and cleared
// by the renderer once it has taken note, so it may keep decoded copies of
// what VRAM holds.
inline constexpr uint32_t VramPartShift = 11;
extern uint64_t VramPartsStored;
inline void NoteVramStore(uint32_t address)
{
    uint32_t offset = address & 0x1FFFF;
    if (offset >= 0x18000)
        offset -= 0x8000;
    VramPartsStored |= uint64_t(1) << (offset >> VramPartShift);
}

// The BIOS area reads as this word, repeated, while code runs outside it.
inline constexpr uint32_t BiosOpenBusWord = 0xFF00FF11;

// Palette RAM and OAM are 1 KB each and repeat through their regions: their
// 16 KB host blocks hold sixteen equal copies, which every bus store keeps
// equal, so the inline loads read any mirror without a test. A block
// written directly (a reset, a loaded state) is made whole again by copying
// its first 1 KB over the rest.
inline constexpr uint32_t SmallBlockSize = 0x400;
void RepeatFirstKilobyte(uint8_t *block);

void BusClearMap();
void MapPages(uint8_t *host, uint32_t hostSize, uint32_t address, uint32_t span, bool writable);
void SetWaitStates(uint32_t value);
// Puts both wait tables back to their power-on values.
void ResetWaitCycles();

uint32_t BusRead32(uint32_t address);
uint32_t BusRead16(uint32_t address);
uint32_t BusRead8(uint32_t address);
void BusWrite32(uint32_t address, uint32_t value);
void BusWrite16(uint32_t address, uint32_t value);
void BusWrite8(uint32_t address, uint32_t value);

// Plain little-endian reads of a host page.
inline uint32_t HostWord(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint32_t HostHalf(const uint8_t *p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

} // namespace Tavrin
