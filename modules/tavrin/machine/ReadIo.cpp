// Every load from the I/O region: a register gives back only the bits the
// console lets software read (write-only registers and unused bits read 0),
// the timers their counter at the CPU's current cycle, the memory control
// register its word wherever it is mirrored, and the rest of the region the
// open bus.
#include "modules/tavrin/machine/IoRegisters.h"

#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/cpu/IdleLoop.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/Timers.h"

#include <array>
#include <utility>

namespace Tavrin {

namespace {

// The readable bits of each register halfword; any halfword not listed
// reads 0.
constexpr std::pair<uint32_t, uint16_t> Readable[] = {
    // Display
    {0x000, 0xFFFF}, {0x002, 0x0001}, {0x004, 0xFF3F}, {0x006, 0x00FF},
    {0x008, 0xDFFF}, {0x00A, 0xDFFF}, {0x00C, 0xFFFF}, {0x00E, 0xFFFF},
    {0x048, 0x3F3F}, {0x04A, 0x3F3F}, {0x050, 0x3FFF}, {0x052, 0x1F1F},
    // Sound generator: lengths and frequencies are write-only
    {0x060, 0x007F}, {0x062, 0xFFC0}, {0x064, 0x4000}, {0x068, 0xFFC0}, {0x06C, 0x4000},
    {0x070, 0x00E0}, {0x072, 0xE000}, {0x074, 0x4000}, {0x078, 0xFF00}, {0x07C, 0x40FF},
    {0x080, 0xFF77}, {0x082, 0x770F}, {0x084, 0x008F}, {0x088, 0xC3FE},
    {0x090, 0xFFFF}, {0x092, 0xFFFF}, {0x094, 0xFFFF}, {0x096, 0xFFFF},
    {0x098, 0xFFFF}, {0x09A, 0xFFFF}, {0x09C, 0xFFFF}, {0x09E, 0xFFFF},
    // DMA: only the control halfwords; the cartridge request bit is channel 3's
    {0x0BA, 0xF7E0}, {0x0C6, 0xF7E0}, {0x0D2, 0xF7E0}, {0x0DE, 0xFFE0},
    // Timers: counters are answered from the timers themselves
    {0x102, 0x00C7}, {0x106, 0x00C7}, {0x10A, 0x00C7}, {0x10E, 0x00C7},
    // Serial, keys and the machine's extra key bits
    {0x120, 0xFFFF}, {0x122, 0xFFFF}, {0x124, 0xFFFF}, {0x126, 0xFFFF},
    {0x128, 0xFFFF}, {0x12A, 0xFFFF}, {0x130, 0x03FF}, {0x132, 0xC3FF},
    {0x134, 0xC1FF}, {0x136, 0xFFFF}, {0x140, 0x0047}, {0x150, 0xFFFF},
    {0x152, 0xFFFF}, {0x154, 0xFFFF}, {0x156, 0xFFFF}, {0x158, 0x003A},
    // Interrupts and system control; the wait control's cartridge type bit
    // reads 0 for a cartridge of this console
    {0x200, 0x3FFF}, {0x202, 0x3FFF}, {0x204, 0x5FFF}, {0x208, 0x0001}, {0x300, 0x0001},
};

constexpr std::array<uint16_t, Io::RegisterEnd / 2> BuildReadMasks()
{
    std::array<uint16_t, Io::RegisterEnd / 2> masks{};
    for (auto [offset, mask] : Readable)
        masks[offset / 2] = mask;
    return masks;
}

constexpr std::array<uint16_t, Io::RegisterEnd / 2> ReadMasks = BuildReadMasks();

// A load whose value can change while a polling loop reads it again: the
// CPU's idle-loop watch must not take two equal reads for a loop that waits
// for nothing.
inline void NoteChangingRead() { Idle.volatileRead = 1; }

bool AnyTimerFlagsOverflows()
{
    for (uint32_t n = 0; n < 4; ++n)
        if (TimerPeriod[n] && (IoGet(Io::TimerControl(n)) & 0x40))
            return true;
    return false;
}

// The timer counters and the interrupt flags: they change with the clock.
[[gnu::noinline]] uint32_t ReadChanging(uint32_t offset)
{
    if (offset == Io::If) {
        // Timer overflows raise their flags at their own cycle.
        SyncTimers(CpuClock());
        if (AnyTimerFlagsOverflows())
            NoteChangingRead();
        return IoGet(offset) & ReadMasks[offset / 2];
    }
    const uint32_t n = (offset - Io::TimerBase) / 4;
    if (TimerPeriod[n])
        NoteChangingRead();
    return ReadTimerCounter(n);
}

} // namespace

uint32_t MachineReadIo16(uint32_t address)
{
    const uint32_t offset = address & 0x00FFFFFE;
    if (offset < Io::RegisterEnd) {
        if ((offset - Io::TimerBase < 16 && !(offset & 2)) || offset == Io::If) [[unlikely]]
            return ReadChanging(offset);
        return IoGet(offset) & ReadMasks[offset / 2];
    }
    if ((offset & 0xFFFC) == Io::MemoryControl)
        return IoGet(Io::MemoryControl + (offset & 2));
    // Nothing else answers in the region: the bus holds the last prefetch.
    return (OpenBusWord(&ConsoleCpu) >> (8 * (address & 2))) & 0xFFFF;
}

uint32_t MachineReadIo32(uint32_t address)
{
    const uint32_t aligned = address & ~3u;
    return MachineReadIo16(aligned) | MachineReadIo16(aligned | 2) << 16;
}

} // namespace Tavrin
