// Loads as the CPU performs them: straight from the page table under the
// BIOS read protection, with the open bus for unmapped memory, except in the
// I/O region, whose registers answer through the machine. Stores of work RAM
// and VRAM likewise skip the call into the bus.
#pragma once

#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/cpu/ArmPrefetch.h"
#include "modules/tavrin/cpu/ArmState.h"

#include <bit>
#include <cstring>
#include <type_traits>

namespace Tavrin {

inline bool CpuIoAddress(uint32_t address) { return (address >> 24) == 4; }

// Regions whose word and halfword loads are not the page's bytes as they
// stand: the I/O registers (4) and the 8-bit save memory (0xE, 0xF). For
// addresses below 0x10000000 only.
inline bool CpuLoadAnswered(uint32_t address) { return (0xC010u >> (address >> 24)) & 1; }

// The aligned word holding address. The BIOS area and unmapped memory take
// one comparison, the I/O and save regions one more; the rest reads the
// page table.
inline uint32_t CpuWordAt(const ArmState *s, uint32_t address)
{
    if (OutsideMemory(address)) [[unlikely]]
        return CpuOutsideWord(s, address);
    if (CpuLoadAnswered(address)) [[unlikely]]
        return CpuIoAddress(address) ? ReadIo32(address) : SaveLoadLanes(address);
    return HostWord(ReadPageTable[address >> PageShift] + (address & 0x3FFC));
}

// The aligned halfword holding address.
inline uint32_t CpuHalfAt(const ArmState *s, uint32_t address)
{
    if (OutsideMemory(address)) [[unlikely]]
        return (CpuOutsideWord(s, address) >> (8 * (address & 2))) & 0xFFFF;
    if (CpuLoadAnswered(address)) [[unlikely]]
        return CpuIoAddress(address) ? ReadIo16(address) : SaveLoadLanes(address) & 0xFFFF;
    return HostHalf(ReadPageTable[address >> PageShift] + (address & 0x3FFE));
}

inline uint32_t CpuLoadByte(const ArmState *s, uint32_t address)
{
    if (OutsideMemory(address)) [[unlikely]]
        return (CpuOutsideWord(s, address) >> (8 * (address & 3))) & 0xFF;
    if (CpuIoAddress(address)) [[unlikely]]
        return (ReadIo16(address) >> (8 * (address & 1))) & 0xFF;
    return ReadPageTable[address >> PageShift][address & 0x3FFF];
}

// A misaligned word load rotates the aligned word so that the addressed byte
// lands in bits 7-0, as the CPU's data path does.
inline uint32_t CpuLoadWord(const ArmState *s, uint32_t address)
{
    return std::rotr(CpuWordAt(s, address), 8 * (address & 3));
}

// A misaligned halfword load rotates the aligned halfword by 8 within the
// 32-bit register.
inline uint32_t CpuLoadHalf(const ArmState *s, uint32_t address)
{
    return std::rotr(CpuHalfAt(s, address), 8 * (address & 1));
}

// A misaligned signed halfword load yields the addressed byte, sign-extended.
inline uint32_t CpuLoadSignedHalf(const ArmState *s, uint32_t address)
{
    if (address & 1)
        return uint32_t(int32_t(int8_t(CpuLoadByte(s, address))));
    return uint32_t(int32_t(int16_t(CpuHalfAt(s, address))));
}

inline uint32_t CpuLoadSignedByte(const ArmState *s, uint32_t address)
{
    return uint32_t(int32_t(int8_t(CpuLoadByte(s, address))));
}

// Stores of Bytes (4, 2 or 1) as the CPU performs them, after the pipeline
// has kept any fetched instruction they overwrite: aligned words and
// halfwords into work RAM and VRAM go straight through the page table, as
// the bus would store them (VRAM's noted for the renderer), without a call;
// the rest through the bus.
template <uint32_t Bytes>
inline void CpuStore(uint32_t address, uint32_t value)
{
    NoteStoreAhead(address, Bytes);
    if constexpr (Bytes == 1) {
        BusWrite8(address, value);
    } else {
        const uint32_t region = address >> 24;
        if ((address & (Bytes - 1)) || region > 6 || !((0x4Cu >> region) & 1)) [[unlikely]] {
            Bytes == 4 ? BusWrite32(address, value) : BusWrite16(address, value);
            return;
        }
        ConsoleCpu.cyclesLeft -= (Bytes == 4 ? WaitCycles32 : WaitCycles16)[region];
        if (region == 6)
            NoteVramStore(address);
        const std::conditional_t<Bytes == 4, uint32_t, uint16_t> stored = value;
        std::memcpy(WritePageTable[address >> PageShift] + (address & (PageSize - Bytes)), &stored, Bytes);
    }
}

// Whether an aligned store of Bytes at address does nothing but charge the
// region's wait and write its page: work RAM, and for words the cartridge
// regions, whose page absorbs them (halfwords there may reach the EEPROM
// or the clock).
template <uint32_t Bytes>
inline bool StoreOnlyWritesPage(uint32_t address)
{
    const uint32_t region = address >> 24;
    constexpr uint32_t Regions = Bytes == 4 ? 0x3F0Cu : 0x000Cu;
    return !(address & (Bytes - 1)) && region < 16 && ((Regions >> region) & 1);
}

inline int32_t LoadWait32(uint32_t address) { return WaitCycles32[(address >> 24) & 15]; }
inline int32_t LoadWait16(uint32_t address) { return WaitCycles16[(address >> 24) & 15]; }

} // namespace Tavrin
