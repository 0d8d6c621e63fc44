// The disk system's adapter (20): RAM from $6000 to $DFFF, the image's last
// 8 KB as its fixed program at $E000, a cycle timer, and the drive and
// sound registers. No disk image is loaded; the drive reads as empty.
//
// MapperState: 1 last $4024 value, 2 status (bit 0 timer done), 4-7 reload,
// 8-11 counter (CPU cycles), 12 reload low byte latch, 13 timer enable
// (bit 1).
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

#include <cstring>

namespace Cindrel {
namespace {

uint8_t *const State = MapperState.bytes;

int Write20(uint16_t a, uint8_t v)
{
    if (a >= 0x6000 && a < 0xE000) {
        // Only RAM is written: the program ROM stays as loaded.
        uint8_t *page = FetchMap[a >> 13];
        if (page >= CpuSpace && page < CpuSpace + CpuSpaceSize)
            page[a & 0x1FFF] = v;
        return 1;
    }
    switch (a) {
    case 0x4020: State[12] = v; return 1;
    case 0x4021:
        SetStateWord(4, State[12] + (v << 8));
        SetStateWord(8, StateWord(4));
        State[2] &= ~1;
        return 1;
    case 0x4022:
        State[13] = v & 2;
        if (!(v & 2))
            ClearIrq();
        return 1;
    case 0x4023: return 1;
    case 0x4024: State[1] = v; return 1;
    case 0x4025:
        SetMirroring((v & 8) ? 0 : 1);
        if (v & 0x80)
            HoldIrq(IrqFromDrive);
        else
            ReleaseIrq(IrqFromDrive);
        DiskControl = v;
        return 1;
    case 0x4080: case 0x4082: case 0x4083:
        ApuWrite(SoundUnit, a & 255, v);
        return 1;
    default: return 0;
    }
}

// The timer status, whose read acknowledges the timer's IRQ, and the
// drive: every data read moves the disk on.
int Read20(uint16_t a)
{
    switch (a) {
    case 0x4030:
        ClearIrq();
        return State[2];
    case 0x4031:
        if (DiskControl & 0x80)
            HoldIrq(IrqFromDrive);
        DiskPosition = (DiskPosition + 1) % DiskLength;
        return 0;
    case 0x4032: return 7;
    case 0x4033: return 0;
    default: return -1;
    }
}

int32_t Line20(int32_t cycles)
{
    if (!State[13])
        return 0;
    if (CountDown(8, 4, cycles)) {
        State[2] |= 1;
        RaiseIrq();
    }
    return 0;
}

// RAM pages from $6000 to $DFFF (what a battery file loaded stays), the
// last 8 KB of the image at $E000, pattern RAM.
void Init20()
{
    std::memset(State, 0, 14);
    MapVideoPages(0, 7, VideoSpace);
    for (int i = 3; i < 7; ++i)
        FetchMap[i] = CpuSpace + i * 0x2000;
    FetchMap[7] = LastRomBank16() + 0x2000;
}

const char *Validate20(const uint8_t *bytes)
{
    const int32_t reload = WordAt(bytes, 4), counter = WordAt(bytes, 8);
    return Sane(reload >= 0 && reload <= 0xFFFF && counter >= 0 && counter <= 0xFFFF && bytes[2] <= 1 &&
                (bytes[13] == 0 || bytes[13] == 2));
}

} // namespace

void AddDiskSystemRow(MapperRows &rows) { rows[20] = MapperRow{Init20, Write20, Line20, Validate20, nullptr, Read20}; }

} // namespace Cindrel
