#include "modules/tavrin/bus/MemoryBus.h"

#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/cpu/ArmState.h"

#include <cstdio>

namespace Tavrin {

namespace {

alignas(8) uint8_t BuiltInDummyPage[PageSize];

const int32_t PowerOnWait32[16] = {1, 1, 6, 1, 1, 2, 2, 1, 4, 4, 4, 4, 4, 4, 6, 1};
const int32_t PowerOnWait16[16] = {1, 1, 3, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 6, 1};

// The tables are valid before anyone maps anything.
struct TablesAtStart {
    TablesAtStart()
    {
        BusClearMap();
        ResetWaitCycles();
    }
} tablesAtStart;

inline uint32_t Region(uint32_t a28) { return a28 >> 24; }

// Loads from 0x04000000-0x04FFFFFF answer through the machine's registers.
inline bool InIoRegion(uint32_t address) { return (address >> 24) == 4; }

// Stores above the console's 28-bit address space reach nothing.
inline bool BeyondAddressSpace(uint32_t address) { return address >= 0x10000000; }

// Palette RAM (region 5) and OAM (region 7): the regions whose 1 KB repeats
// within the page.
inline bool RepeatsEveryKilobyte(uint32_t region) { return (region | 2) == 7; }

// A store of n bytes into every copy of a palette or OAM page.
template <size_t N>
inline void StoreRepeated(uint8_t *page, uint32_t offset, const void *value)
{
    offset &= SmallBlockSize - 1;
    for (uint32_t copy = 0; copy < PageSize; copy += SmallBlockSize)
        std::memcpy(page + copy + offset, value, N);
}

// A word or halfword store into the page of a28. The renderer hears of
// stores to the memory it draws from (one test keeps the other stores'
// path as it was): palette and OAM stores reach every copy, OAM's mark the
// sprite list for rebuilding, VRAM's the part they change.
template <size_t N>
inline void StoreToPage(uint32_t region, uint32_t a28, uint32_t offset, const void *value)
{
    uint8_t *page = WritePageTable[a28 >> PageShift];
    if (region - 5 <= 2) [[unlikely]] {
        if (region == 6) {
            NoteVramStore(a28);
            std::memcpy(page + offset, value, N);
            return;
        }
        RenderDirtyFlags |= region == 7 ? 4 : DirtyPalette;
        StoreRepeated<N>(page, offset, value);
        return;
    }
    std::memcpy(page + offset, value, N);
}

// Whether a VRAM address lies below the sprite tiles, which start at 64 KB,
// or at 80 KB in the bitmap modes (3 to 5).
inline bool VramBackgroundOffset(uint32_t a28)
{
    uint32_t offset = a28 & 0x1FFFF;
    if (offset >= 0x18000)
        offset -= 0x8000;
    const bool bitmap = IoPage && (IoPage[0] & 7) >= 3;
    return offset < (bitmap ? 0x14000u : 0x10000u);
}

// A byte for the save memory: region 0xE runs it through the flash chip's
// command decoder (which stores it as RAM would outside a command), and
// when a command switches the bank the new one is mapped over the whole
// window; region 0xF ignores stores.
void StoreSaveByte(uint32_t a28, uint8_t byte)
{
    if (Region(a28) != 0xE)
        return;
    if (uint8_t *bank = FlashWrite(a28 & 0xFFFF, byte))
        MapPages(bank, 0x10000, 0x0E000000, 0x02000000, true);
}

// The unaligned-access trace, out of line so the access paths stay lean.
[[gnu::cold, gnu::noinline]] void TraceUnalignedRead(const char *kind, uint32_t a28)
{
    std::printf("MEM: Unaligned %s [%08X] (PC=%08X)\n", kind, a28, ConsoleCpu.r[15]);
}
[[gnu::cold, gnu::noinline]] void TraceUnalignedWrite(const char *kind, uint32_t a28, int digits, uint32_t value)
{
    std::printf("MEM: Unaligned %s [%08X] = %0*X (PC=%08X)\n", kind, a28, digits, value, ConsoleCpu.r[15]);
}

// Loads from the I/O registers, shifted down as the bus shifts every
// misaligned load. Out of line, so the common loads need no saved
// registers.
[[gnu::noinline]] uint32_t IoLoad32(uint32_t address)
{
    if ((address & 3) && (LogFlags & 4))
        TraceUnalignedRead("qread", address);
    return ReadIo32(address) >> (8 * (address & 3));
}
[[gnu::noinline]] uint32_t IoLoad16(uint32_t address, bool traced)
{
    if (traced && (address & 1) && (LogFlags & 4))
        TraceUnalignedRead("wread", address);
    return (ReadIo16(address) >> (8 * (address & 1))) & 0xFFFF;
}

} // namespace

uint8_t *ReadPageTable[PageCount];
uint8_t *WritePageTable[PageCount];
uint8_t *DummyPage = BuiltInDummyPage;
uint8_t *IoPage = nullptr;
uint32_t EepromWindowStart = 0x0D000000;
int32_t WaitCycles32[16];
int32_t WaitCycles16[16];
uint32_t LogFlags = 1;
uint8_t RenderDirtyFlags = 0xFF;
uint64_t VramPartsStored = ~uint64_t(0);

void RepeatFirstKilobyte(uint8_t *block)
{
    for (uint32_t copy = SmallBlockSize; copy < PageSize; copy += SmallBlockSize)
        std::memcpy(block + copy, block, SmallBlockSize);
}

void BusClearMap()
{
    for (uint32_t i = 0; i < PageCount; ++i) {
        ReadPageTable[i] = DummyPage;
        WritePageTable[i] = DummyPage;
    }
}

void MapPages(uint8_t *host, uint32_t hostSize, uint32_t address, uint32_t span, bool writable)
{
    uint32_t hostPages = hostSize / PageSize;
    uint32_t first = address / PageSize;
    for (uint32_t i = 0; i < span / PageSize; ++i) {
        uint8_t *page = host + (i % hostPages) * PageSize;
        ReadPageTable[first + i] = page;
        WritePageTable[first + i] = writable ? page : DummyPage;
    }
}

void ResetWaitCycles()
{
    std::memcpy(WaitCycles32, PowerOnWait32, sizeof WaitCycles32);
    std::memcpy(WaitCycles16, PowerOnWait16, sizeof WaitCycles16);
}

void SetWaitStates(uint32_t value)
{
    WaitCycles16[8] = WaitCycles16[9] = (value & 0x10) ? 2 : 3;
    WaitCycles16[10] = WaitCycles16[11] = (value & 0x80) ? 2 : 5;
    WaitCycles16[12] = WaitCycles16[13] = (value & 0x400) ? 2 : 9;
    static const int32_t sram[4] = {5, 4, 3, 9};
    WaitCycles16[14] = sram[value & 3];
    for (int k = 8; k <= 14; ++k)
        WaitCycles32[k] = 2 * WaitCycles16[k];
}

uint32_t BusRead32(uint32_t address)
{
    uint32_t a28 = address & 0x0FFFFFFF;
    ConsoleCpu.cyclesLeft -= WaitCycles32[Region(a28)];
    if (InIoRegion(address))
        return IoLoad32(address);
    if ((address & 3) && (LogFlags & 4)) [[unlikely]]
        TraceUnalignedRead("qread", a28);
    if (IsSaveAddress(a28) && !OutsideMemory(address))
        return SaveLoadLanes(address);
    uint32_t word = OutsideMemory(address) ? CpuOutsideWord(&ConsoleCpu, address)
                                           : HostWord(ReadPageTable[a28 >> PageShift] + (address & 0x3FFC));
    // Unlike the CPU's own word loads, which rotate, the bus shifts a
    // misaligned word down with zeros above.
    return word >> (8 * (address & 3));
}

uint32_t BusRead16(uint32_t address)
{
    uint32_t a28 = address & 0x0FFFFFFF;
    ConsoleCpu.cyclesLeft -= WaitCycles16[Region(a28)];
    if (InIoRegion(address))
        return IoLoad16(address, true);
    if ((address & 1) && (LogFlags & 4)) [[unlikely]]
        TraceUnalignedRead("wread", a28);
    if (OutsideMemory(address)) {
        const uint32_t half = (CpuOutsideWord(&ConsoleCpu, address) >> (8 * (address & 2))) & 0xFFFF;
        return half >> (8 * (address & 1));
    }
    if (IsEepromAddress(a28))
        return EepromReadBit();
    if (IsSaveAddress(a28))
        return SaveLoadLanes(address) & 0xFFFF;
    uint32_t half = HostHalf(ReadPageTable[a28 >> PageShift] + (address & 0x3FFE));
    return (half >> (8 * (address & 1))) & 0xFFFF;
}

uint32_t BusRead8(uint32_t address)
{
    uint32_t a28 = address & 0x0FFFFFFF;
    ConsoleCpu.cyclesLeft -= WaitCycles16[Region(a28)];
    if (InIoRegion(address))
        return IoLoad16(address, false) & 0xFF;
    if (OutsideMemory(address))
        return (CpuOutsideWord(&ConsoleCpu, address) >> (8 * (address & 3))) & 0xFF;
    return ReadPageTable[a28 >> PageShift][address & 0x3FFF];
}

void BusWrite32(uint32_t address, uint32_t value)
{
    uint32_t a28 = address & 0x0FFFFFFF;
    uint32_t region = Region(a28);
    ConsoleCpu.cyclesLeft -= WaitCycles32[region];
    if ((address & 3) && (LogFlags & 4)) [[unlikely]]
        TraceUnalignedWrite("qwrite", a28, 8, value);
    if (BeyondAddressSpace(address)) [[unlikely]]
        return;
    if (region == 4) {
        WriteIo(a28 & ~3u, value & 0xFFFF);
        WriteIo((a28 & ~3u) + 2, value >> 16);
        return;
    }
    if (IsSaveAddress(a28)) {
        StoreSaveByte(a28, uint8_t(value >> (8 * (address & 3))));
        return;
    }
    StoreToPage<4>(region, a28, address & 0x3FFC, &value);
}

void BusWrite16(uint32_t address, uint32_t value)
{
    uint32_t a28 = address & 0x0FFFFFFF;
    uint32_t region = Region(a28);
    ConsoleCpu.cyclesLeft -= WaitCycles16[region];
    if ((address & 1) && (LogFlags & 4)) [[unlikely]]
        TraceUnalignedWrite("wwrite", a28, 4, value & 0xFFFF);
    if (BeyondAddressSpace(address)) [[unlikely]]
        return;
    if (IsEepromAddress(a28)) {
        EepromWriteBit(value & 0xFF);
        return;
    }
    if (region == 4) {
        WriteIo(address & 0x0FFFFFFE, value & 0xFFFF);
        return;
    }
    if ((address & 0x0FFFFFF0) == 0x080000C0) {
        RtcWrite(a28 & ~1u, value & 0xFFFF);
        return;
    }
    if (IsSaveAddress(a28)) {
        // The halfword rides on both halves of the data bus.
        StoreSaveByte(a28, uint8_t(value >> (8 * (address & 1))));
        return;
    }
    const uint16_t half = uint16_t(value);
    StoreToPage<2>(region, a28, address & 0x3FFE, &half);
}

void BusWrite8(uint32_t address, uint32_t value)
{
    uint32_t a28 = address & 0x0FFFFFFF;
    uint32_t region = Region(a28);
    ConsoleCpu.cyclesLeft -= WaitCycles16[region];
    uint32_t offset = address & 0x3FFF;
    uint8_t byte = uint8_t(value);
    uint8_t *page = WritePageTable[a28 >> PageShift];
    if (BeyondAddressSpace(address)) [[unlikely]]
        return;
    switch (region) {
    case 2:
    case 3:
        page[offset] = byte;
        break;
    case 4:
        if ((address & 0x03FFF000) == 0) {
            // A byte store to the interrupt flags acknowledges only its own
            // byte's flags: the other byte goes in as 0, not as its flags.
            uint32_t neighbour = (offset & 0xFFE) == 0x202 ? 0 : page[offset ^ 1];
            if (address & 1)
                WriteIo(a28 ^ 1, uint32_t(byte) << 8 | neighbour);
            else
                WriteIo(a28, byte | neighbour << 8);
        }
        break;
    case 5: {
        const uint8_t pair[2] = {byte, byte};
        RenderDirtyFlags |= DirtyPalette;
        StoreRepeated<2>(page, offset & ~1u, pair);
        break;
    }
    case 6:
        // Byte stores reach only the background part of VRAM, as both bytes
        // of the halfword; the sprite tiles and OAM ignore them.
        if (VramBackgroundOffset(a28)) {
            NoteVramStore(a28);
            page[offset] = page[offset ^ 1] = byte;
        }
        break;
    case 0xE:
        StoreSaveByte(a28, byte);
        break;
    default:
        break;
    }
}

} // namespace Tavrin
