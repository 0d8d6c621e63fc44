// The serial-register board: five one-bit writes fill a register, each of
// the four registers with a shift sequence of its own. MapperState: 0-3
// R0-R3, 4-7 the accumulators, 8-11 the shift bits (1, 2, 4, 8, 16).
#include "modules/cindrel/mappers/Banks.h"
#include "modules/cindrel/mappers/MapperRows.h"

namespace Cindrel {
namespace {

uint8_t *const R = MapperState.bytes;
uint8_t *const Accumulator = MapperState.bytes + 4;
uint8_t *const Shift = MapperState.bytes + 8;

// The board takes no serial write on the cycle right after another: of a
// read-modify-write's two writes only the first, the unmodified value,
// counts. A state never falls between the two, so this is not saved.
int64_t LastSerialWrite;
constexpr int64_t LongAgo = INT64_MIN / 2;

void ResetShifts()
{
    for (int i = 0; i < 4; ++i) {
        Shift[i] = 1;
        Accumulator[i] = 0;
    }
}

void MapProgram()
{
    uint32_t low, high;
    if (R[0] & 8) {
        low = (R[0] & 4) ? R[3] & 15 : 0;
        high = (R[0] & 4) ? 15 : R[3] & 15;
    } else {
        low = R[3] & 14;
        high = low + 1;
    }
    uint32_t x = 0;
    if (Cartridge.romPages > 32)
        x = (R[0] & 16) ? (R[1] & 16) | ((R[2] & 16) << 1) : (R[1] & 16) << 1;
    else if (Cartridge.romPages > 16)
        x = R[1] & 16;
    if (Cartridge.romPages < 3)
        return;
    MapRom16(4, RomBank16(low | x));
    MapRom16(6, RomBank16(high | x));
}

void MapPatterns()
{
    const bool fourK = R[0] & 16;
    Pattern4(0, fourK ? R[1] : R[1] & 0xFE);
    Pattern4(1, fourK ? R[2] : (R[1] & 0xFE) + 1);
}

// $6000: on boards with two or four RAM pages R1 selects the page (bit 3
// with two, bits 2-3 with more); $E000 bit 4 set disables the RAM, which
// then reads as the open bus and takes no writes.
void MapRamPage()
{
    uint32_t page = 0;
    if (Cartridge.ramPages == 2)
        page = (R[1] >> 3) & 1;
    else if (Cartridge.ramPages > 2)
        page = (R[1] >> 2) & RamMask;
    FetchMap[3] = (R[3] & 0x10) ? OpenBusPage() : WorkRamPage(page);
}

void Apply(int r)
{
    static constexpr int mirroring[4] = {2, 3, 1, 0};
    if (r == 0)
        SetMirroring(mirroring[R[0] & 3]);
    if (r == 1 || r == 3)
        MapRamPage();
    if (r != 2)
        MapProgram();
    if (r != 3)
        MapPatterns();
}

int Write(uint16_t address, uint8_t value)
{
    if (address < 0x8000)
        return 0;
    const int64_t cycle = MachineCycle();
    const bool consecutive = cycle - LastSerialWrite <= 1;
    LastSerialWrite = cycle;
    if (consecutive)
        return 1;
    if (value & 0x80) {
        ResetShifts();
        R[0] = (R[0] & 0x13) | 0x0C;
        Apply(0);
        return 1;
    }
    const int r = (address >> 13) & 3;
    if (value & 1)
        Accumulator[r] |= Shift[r];
    if (Shift[r] * 2 < 32) {
        Shift[r] *= 2;
        return 1;
    }
    R[r] = Accumulator[r];
    ResetShifts();
    Apply(r);
    return 1;
}

void ForgetLastWrite() { LastSerialWrite = LongAgo; }

void Init()
{
    ForgetLastWrite();
    ResetShifts();
    R[0] = 0x0C;
    R[1] = R[2] = R[3] = 0;
    SetMirroring(2);
    Pattern8(0);
    MapRom16(4, RomBank16(0));
    MapRom16(6, RomBank16(RomMask & 15));
    MapRamPage();
}

const char *Validate(const uint8_t *bytes)
{
    for (int i = 0; i < 4; ++i) {
        const uint8_t shift = bytes[8 + i];
        if (bytes[i] > 31 || bytes[4 + i] >= shift || (shift & (shift - 1)) || shift == 0 || shift > 16)
            return Sane(false);
    }
    return nullptr;
}

} // namespace

void AddMmc1Row(MapperRows &rows)
{
    rows[1].init = Init;
    rows[1].write = Write;
    rows[1].validate = Validate;
    rows[1].afterLoad = ForgetLastWrite;
}

} // namespace Cindrel
