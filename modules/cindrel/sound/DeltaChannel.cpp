// The delta channel: a timer that shifts out one bit per period, a one-byte
// buffer refilled through the CPU's memory map (and so through the mapper's
// banks) whenever an output byte takes it, the byte count and address with
// their loop and end interrupt. The driver plays the sample decoded whole
// when it starts; a fetched byte that differs from the one decoded then
// (the mapper switched banks meanwhile) decodes the rest again.
#include "modules/cindrel/sound/SoundUnit.h"

#include "modules/cindrel/cpu/CpuBus.h"
#include "modules/sounddriver/SoundDriver.h"

#include <climits>

namespace Cindrel {

namespace {

enum : int { RegDmcControl = 0x10, RegDmcLevel = 0x11, RegDmcAddress = 0x12, RegDmcLength = 0x13 };

// The bytes of the sample the driver plays, and the unit that started it.
uint8_t SampleBytes[DmcMaxBytes];
const SoundUnitState *SampleOwner;

uint8_t MapByte(uint16_t address) { return FetchMap[address >> 13][address & 0x1FFF]; }
uint16_t NextAddress(uint16_t address) { return address == 0xFFFF ? 0x8000 : uint16_t(address + 1); }

uint16_t SampleStart(const SoundUnitState &unit) { return uint16_t(0xC000 + (unit.registers[RegDmcAddress] << 6)); }
int SampleLength(const SoundUnitState &unit) { return unit.registers[RegDmcLength] * 16 + 1; }

// Delta modulation: each bit moves the level 2 up or down within 0-127.
// Returns the level after the last bit.
int Decode(const uint8_t *bytes, int count, int level, int8_t *out)
{
    for (int i = 0; i < count; ++i) {
        uint8_t b = bytes[i];
        for (int bit = 0; bit < 8; ++bit, b >>= 1) {
            if (b & 1) {
                if (level <= 125)
                    level += 2;
            } else if (level >= 2) {
                level -= 2;
            }
            *out++ = int8_t(level * 255 / 127 - 128);
        }
    }
    return level;
}

void Restart(SoundUnitState &unit)
{
    unit.dmcAddress = SampleStart(unit);
    unit.dmcBytesLeft = uint16_t(SampleLength(unit));
}

// The sample the CPU fetches is the one heard, or the driver is handed it.
void HearCurrentSample(SoundUnitState &unit)
{
    if (SampleOwner != &unit || unit.heardAddress != SampleStart(unit) || unit.heardBytes != SampleLength(unit))
        ApuDecodeDmc(unit);
}

// Byte `index` of the sample came back as b: when the decoded sample holds
// another byte there, the rest is read from the map as it is now and the
// sample decoded again.
void HearFetchedByte(SoundUnitState &unit, int index, uint8_t b, uint16_t address)
{
    if (SampleOwner != &unit || index < 0 || index >= unit.heardBytes || SampleBytes[index] == b)
        return;
    SampleBytes[index] = b;
    for (int i = index + 1; i < unit.heardBytes; ++i) {
        address = NextAddress(address);
        SampleBytes[i] = MapByte(address);
    }
    Decode(SampleBytes, unit.heardBytes, unit.heardLevel, DmcSampleBuffer);
}

void Fetch(SoundUnitState &unit)
{
    const uint16_t address = unit.dmcAddress;
    const uint8_t b = MapByte(address);
    HearFetchedByte(unit, unit.heardBytes - unit.dmcBytesLeft, b, address);
    unit.dmcAddress = NextAddress(address);
    unit.dmcBufferFull = 1;
    if (--unit.dmcBytesLeft)
        return;
    const uint8_t control = unit.registers[RegDmcControl];
    if (control & 0x40) {
        Restart(unit);
        HearCurrentSample(unit);
    } else if (control & 0x80) {
        unit.status |= 0x80;
    }
}

} // namespace

int ApuDecodeDmc(SoundUnitState &unit)
{
    const int bytes = SampleLength(unit);
    uint16_t address = SampleStart(unit);
    for (int i = 0; i < bytes; ++i, address = NextAddress(address))
        SampleBytes[i] = MapByte(address);
    unit.heardAddress = SampleStart(unit);
    unit.heardBytes = uint16_t(bytes);
    unit.heardLevel = unit.registers[RegDmcLevel] & 0x7F;
    unit.heardFresh = 1;
    SampleOwner = &unit;
    unit.registers[RegDmcLevel] = uint8_t(Decode(SampleBytes, bytes, unit.heardLevel, DmcSampleBuffer));
    const int period = DmcPeriod(unit);
    SetWave(unit.firstChannel + 4, reinterpret_cast<const signed char *>(DmcSampleBuffer), bytes * 8,
            (1789772 + period / 2) / period);
    return bytes * 8;
}

void DmcEnable(SoundUnitState &unit, bool on)
{
    if (!on) {
        unit.dmcBytesLeft = 0;
        return;
    }
    if (unit.dmcBytesLeft)
        return;
    Restart(unit);
    ApuDecodeDmc(unit);
    // An empty buffer is filled at once.
    if (!unit.dmcBufferFull)
        Fetch(unit);
}

int64_t DmcCyclesToByte(const SoundUnitState &unit)
{
    if (!unit.dmcBytesLeft && !unit.dmcBufferFull)
        return INT64_MAX; // nothing to play: the timer runs on unseen
    return unit.dmcTimer + int64_t(unit.dmcBitsLeft - 1) * DmcPeriod(unit);
}

void DmcAdvance(SoundUnitState &unit, int64_t cycles)
{
    const int64_t period = DmcPeriod(unit);
    const int64_t toByte = unit.dmcTimer + (unit.dmcBitsLeft - 1) * period;
    const int64_t left = cycles < toByte ? toByte - cycles : 8 * period - (cycles - toByte) % (8 * period);
    unit.dmcBitsLeft = uint8_t((left - 1) / period + 1);
    unit.dmcTimer = uint16_t(left - (unit.dmcBitsLeft - 1) * period);
}

void DmcOutputByte(SoundUnitState &unit)
{
    unit.dmcBufferFull = 0;
    if (unit.dmcBytesLeft)
        Fetch(unit);
}

int64_t DmcIrqCycle(const SoundUnitState &unit)
{
    if (!unit.dmcBytesLeft || (unit.registers[RegDmcControl] & 0xC0) != 0x80)
        return INT64_MAX;
    return unit.cycle + DmcCyclesToByte(unit) + (unit.dmcBytesLeft - 1) * 8 * int64_t(DmcPeriod(unit));
}

} // namespace Cindrel
