#include "modules/cindrel/sound/SoundUnit.h"

#include "modules/cindrel/cpu/CpuBus.h"
#include "modules/sounddriver/SoundDriver.h"

#include <algorithm>
#include <cstring>

namespace Cindrel {

SoundUnitState SoundUnit;
int8_t DmcSampleBuffer[DmcSampleBufferSize];

namespace {

constexpr int8_t H = 127, L = -128;

// Register numbers ($4000 is register $00).
enum : int {
    RegTriangleLinear = 0x08,
    RegTriangleLow = 0x0A,
    RegNoisePeriod = 0x0E,
    RegDmcControl = 0x10,
    RegDmcLevel = 0x11,
    RegDmcAddress = 0x12,
    RegDmcLength = 0x13,
    RegEnable = 0x15,
};

enum : int { ChTriangle = 2, ChNoise = 3, ChDmc = 4, ChWave = 5 };

int EnvelopeMs(const SoundUnitState &unit, int n) { return (n + 1) * 250 / unit.framesPerSecond; }
int SweepMs(const SoundUnitState &unit, int p) { return (p + 1) * 500 / unit.framesPerSecond; }
int LengthMs(const SoundUnitState &unit, int index) { return LengthTable[index & 31] * 1000 / unit.framesPerSecond; }
int LinearMs(const SoundUnitState &unit, int n) { return (n + 1) * 250 / unit.framesPerSecond; }

int ToneOf(int channel, int timer)
{
    return channel == ChTriangle ? TriangleFrequency(timer) : SquareFrequency(timer);
}

void PushIfImmediate(SoundUnitState &unit)
{
    if (unit.pushMode == 0 && (unit.changed | unit.dutyChanged))
        ApuSync(unit, 2);
}

// $00, $04, $0C: duty and volume.
void WriteVolume(SoundUnitState &unit, int c, int r, uint8_t v)
{
    if (c < 2 && ((v ^ unit.registers[r]) & 0xC0))
        unit.dutyChanged |= uint8_t(1 << c);
    if (unit.status & (1 << c)) {
        if (v & 0x10) {
            unit.volume[c] = (v & 15) * 255 / 15;
            unit.envelopeLevel[c] = v & 15;
            unit.envelopeTimer[c] = 0;
        } else {
            unit.envelopeTimer[c] = EnvelopeMs(unit, v & 15);
        }
    }
    unit.changed |= uint8_t(1 << c);
}

// $03, $07, $0F: length, and the timer's high bits for the squares.
void WriteLength(SoundUnitState &unit, int c, int r, uint8_t v)
{
    if (!(unit.enableMask & (1 << c)))
        return;
    const uint8_t control = unit.registers[r - 3];
    unit.length[c] = (control & 0x20) ? 0 : LengthMs(unit, v >> 3);
    const int n = control & 15;
    if (control & 0x10) {
        unit.volume[c] = n * 255 / 15;
        unit.envelopeLevel[c] = n;
        unit.envelopeTimer[c] = 0;
    } else {
        unit.volume[c] = 255;
        unit.envelopeLevel[c] = 15;
        unit.envelopeTimer[c] = EnvelopeMs(unit, n);
    }
    if (c == ChNoise) {
        unit.frequency[c] = NoiseFrequencyTable[unit.registers[RegNoisePeriod] & 15];
    } else {
        const int t = unit.registers[r - 1] | (v & 7) << 8;
        unit.timer[c] = t;
        // A sweep that would carry the period past 11 bits mutes the
        // square unless it lowers the period.
        const bool sweepMutes = t > 1024 && unit.sweepTimer[c] != 0 && !(unit.registers[r - 2] & 0x08);
        unit.frequency[c] = sweepMutes ? 0 : SquareFrequency(t);
    }
    unit.status |= uint8_t(1 << c);
    unit.changed |= uint8_t(1 << c);
}

void WriteTriangleLinear(SoundUnitState &unit, uint8_t v)
{
    if (unit.enableMask & 4) {
        if ((v & 0x7F) == 0) {
            unit.frequency[ChTriangle] = 0;
            unit.status &= uint8_t(~4);
        } else if (v & 0x80) {
            unit.length[ChTriangle] = 0;
        } else {
            const int linear = LinearMs(unit, v & 0x7F);
            if (unit.length[ChTriangle] == 0 || linear < unit.length[ChTriangle])
                unit.length[ChTriangle] = linear;
        }
    }
    unit.changed |= 4;
}

void WriteTriangleHigh(SoundUnitState &unit, uint8_t v)
{
    if (unit.enableMask & 4) {
        const uint8_t linear = unit.registers[RegTriangleLinear];
        if ((linear & 0x7F) == 0) {
            unit.frequency[ChTriangle] = 0;
            unit.status &= uint8_t(~4);
        } else {
            unit.length[ChTriangle] =
                (linear & 0x80) ? 0 : std::min(LinearMs(unit, linear & 0x7F), LengthMs(unit, v >> 3));
            const int t = unit.registers[RegTriangleLow] | (v & 7) << 8;
            unit.timer[ChTriangle] = t;
            unit.frequency[ChTriangle] = TriangleFrequency(t);
            unit.status |= 4;
        }
    }
    unit.changed |= 4;
}

void WriteEnable(SoundUnitState &unit, uint8_t v)
{
    if ((v & 0x10) && !(unit.status & 0x10))
        ApuDecodeDmc(unit);
    for (int c = 0; c < 5; ++c) {
        if ((unit.status & (1 << c)) && !(v & (1 << c))) {
            unit.frequency[c] = 0;
            unit.changed |= uint8_t(1 << c);
        }
    }
    unit.enableMask = v & 0x1F;
    unit.status &= unit.enableMask;
}

void SetWaveFrequency(SoundUnitState &unit, int low, int high)
{
    const int f = low | (high & 15) << 8;
    unit.frequency[ChWave] = f * 55 >> 7;
    unit.changed |= 1 << ChWave;
}

void StepLength(SoundUnitState &unit, int c, int ms)
{
    if (unit.length[c] == 0)
        return;
    unit.length[c] -= ms;
    if (unit.length[c] > 0)
        return;
    unit.length[c] = 0;
    unit.frequency[c] = 0;
    unit.status &= uint8_t(~(1 << c));
    unit.changed |= uint8_t(1 << c);
    if (c == ChDmc && (unit.registers[RegDmcControl] & 0x80))
        unit.status |= 0x80;
}

void StepEnvelope(SoundUnitState &unit, int c, int ms)
{
    if (unit.frequency[c] == 0 || unit.envelopeTimer[c] == 0)
        return;
    const int e = unit.envelopeTimer[c] - ms;
    if (e > 0) {
        unit.envelopeTimer[c] = e;
        return;
    }
    const uint8_t control = unit.registers[4 * c];
    const int period = EnvelopeMs(unit, control & 15);
    int level = unit.envelopeLevel[c] + e / period - 1;
    bool goesOn = true;
    if (level < 1) {
        if (control & 0x20) {
            level &= 15;
        } else {
            unit.frequency[c] = 0;
            unit.status &= uint8_t(~(1 << c));
            level = 0;
            unit.envelopeTimer[c] = 0;
            goesOn = false;
        }
    }
    unit.envelopeLevel[c] = level;
    unit.volume[c] = level * 255 / 15;
    unit.changed |= uint8_t(1 << c);
    if (goesOn)
        unit.envelopeTimer[c] = period + e % period;
}

void StepSweep(SoundUnitState &unit, int c, int ms)
{
    if (unit.frequency[c] == 0 || unit.sweepTimer[c] == 0)
        return;
    const int s = unit.sweepTimer[c] - ms;
    if (s > 0) {
        unit.sweepTimer[c] = s;
        return;
    }
    const uint8_t w = unit.registers[4 * c + 1];
    const int period = SweepMs(unit, (w >> 4) & 7);
    const int steps = 1 - s / period;
    int t = unit.timer[c];
    const int shift = w & 7;
    // A shift of 0 leaves the period alone, as the hardware does.
    int d = shift ? t >> shift : 0;
    if (shift && (w & 0x08))
        d = c == 0 ? -(d + 1) : -d;
    t += d * steps;
    if (t < 0 || t > 2047)
        t = 0;
    unit.timer[c] = t;
    unit.registers[4 * c + 2] = uint8_t(t);
    unit.registers[4 * c + 3] = uint8_t((unit.registers[4 * c + 3] & ~7) | (t >> 8));
    unit.frequency[c] = ToneOf(c, t);
    if (t < 7)
        unit.status &= uint8_t(~(1 << c));
    unit.changed |= uint8_t(1 << c);
    unit.sweepTimer[c] = (w & 0x80) ? period + s % period : 0;
}

} // namespace

const int8_t DutyWaves[4][32] = {
    {H, H, H, H, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L},
    {H, H, H, H, H, H, H, H, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L},
    {H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L},
    {H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, H, L, L, L, L, L, L, L, L},
};

const int8_t TriangleWave[32] = {0,   15,  31,  47,  63,  79,  95,   111,  127,  111, 95,  79,  63,  47,  31,  15,
                                 0,   -16, -32, -48, -64, -80, -96,  -112, -128, -112, -96, -80, -64, -48, -32, -16};

// In sixtieths of a second, by bits 3-7 of the length register.
const uint8_t LengthTable[32] = {5, 127, 10, 1, 20, 2, 40, 3, 80, 4, 30, 5, 7, 6, 13, 7,
                                 6, 8,   12, 9, 24, 10, 48, 11, 96, 12, 36, 13, 8, 14, 16, 15};

// The noise clock in Hz: 1789772 over the hardware's periods.
const int32_t NoiseFrequencyTable[16] = {447443, 223722, 111861, 55930, 27965, 18643, 13983, 11186,
                                         8860,   7046,   4710,   3523,  2349,  1762,  880,   440};

const int32_t DmcRateTable[16] = {4182, 4710,  5264,  5593,  6258,  7046,  7919,  8363,
                                  9420, 11186, 12604, 13983, 16885, 21307, 24858, 33144};

int SquareFrequency(int timer) { return timer >= 7 ? 111861 / (timer + 1) : 0; }
int TriangleFrequency(int timer) { return timer >= 7 ? 55930 / (timer + 1) : 0; }

uint8_t ApuReset(SoundUnitState &unit, int setup)
{
    std::memset(&unit, 0, sizeof unit);
    std::memset(DmcSampleBuffer, 0, sizeof DmcSampleBuffer);
    unit.pushMode = 1;
    unit.changed = 0x7F;
    unit.framesPerSecond = (setup & 0x10000) ? 50 : 60;
    unit.firstChannel = setup & 0xFFFF;
    unit.enableMask = 0x1F;
    unit.volume[ChTriangle] = 255;
    unit.volume[ChDmc] = 255;
    const int first = unit.firstChannel;
    static constexpr int types[6] = {SoundTypeTone, SoundTypeTone, SoundTypeHalfVolumeTone,
                                     SoundTypeNoise, SoundTypeTone, SoundTypeTone};
    for (int c = 0; c < 6; ++c)
        SetSound(first + c, types[c]);
    SetWave(first, DutyWaves[0], 32, 0);
    SetWave(first + 1, DutyWaves[0], 32, 0);
    SetWave(first + 2, TriangleWave, 32, 0);
    return unit.status;
}

uint8_t ApuWrite(SoundUnitState &unit, int r, uint8_t v)
{
    const int c = r >> 2;
    switch (r) {
    case 0x00: case 0x04: case 0x0C:
        WriteVolume(unit, c, r, v);
        break;
    case 0x01: case 0x05:
        unit.sweepTimer[c] = (v & 0x80) ? SweepMs(unit, (v >> 4) & 7) : 0;
        break;
    case 0x02: case 0x06: case RegTriangleLow:
        if (unit.status & (1 << c)) {
            const int t = v | (unit.registers[r + 1] & 7) << 8;
            unit.timer[c] = t;
            unit.frequency[c] = ToneOf(c, t);
            unit.changed |= uint8_t(1 << c);
        }
        break;
    case 0x03: case 0x07: case 0x0F:
        WriteLength(unit, c, r, v);
        break;
    case RegTriangleLinear:
        WriteTriangleLinear(unit, v);
        break;
    case 0x0B:
        WriteTriangleHigh(unit, v);
        break;
    case RegNoisePeriod:
        if (unit.status & (1 << ChNoise)) {
            unit.frequency[ChNoise] = NoiseFrequencyTable[v & 15];
            unit.changed |= 1 << ChNoise;
        }
        break;
    case RegDmcControl:
        if (!(v & 0x80))
            unit.status &= 0x7F;
        break;
    case RegEnable:
        WriteEnable(unit, v);
        break;
    case 0x80:
        if (v & 0x80) {
            // Gains above 31 are as loud as 31; kept within 255 so that the
            // unit's record stays one that loads.
            unit.volume[ChWave] = std::min(255, (v & 0x3F) * 255 / 31);
            unit.changed |= 1 << ChWave;
        }
        break;
    case 0x82:
        if (!(unit.waveRegisters[3] & 0x80))
            SetWaveFrequency(unit, v, unit.waveRegisters[3]);
        break;
    case 0x83:
        if (v & 0x80) {
            unit.frequency[ChWave] = 0;
            unit.changed |= 1 << ChWave;
        } else {
            SetWaveFrequency(unit, unit.waveRegisters[2], v);
        }
        break;
    default:
        break;
    }
    if (r < RegEnable)
        unit.registers[r] = v;
    else if (r >= 0x80 && r <= 0x83)
        unit.waveRegisters[r - 0x80] = v;
    PushIfImmediate(unit);
    return unit.status;
}

int ApuDecodeDmc(SoundUnitState &unit)
{
    const int n = unit.registers[RegDmcLength];
    if (n == 0)
        return 0;
    const int bytes = n * 16 + 1;
    uint32_t address = (uint32_t(unit.registers[RegDmcAddress]) << 6) + 0xC000;
    // Delta modulation: each bit moves the level 2 up or down within 0-127.
    int level = unit.registers[RegDmcLevel] & 0x7F;
    int8_t *out = DmcSampleBuffer;
    for (int i = 0; i < bytes; ++i) {
        uint8_t b = FetchMap[address >> 13][address & 0x1FFF];
        address = address == 0xFFFF ? 0x8000 : address + 1;
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
    unit.registers[RegDmcLevel] = uint8_t(level);
    const int rate = DmcRateTable[unit.registers[RegDmcControl] & 15];
    SetWave(unit.firstChannel + ChDmc, reinterpret_cast<const signed char *>(DmcSampleBuffer), bytes * 8, rate);
    unit.frequency[ChDmc] = 1;
    unit.length[ChDmc] = (unit.registers[RegDmcControl] & 0x40) ? 0 : bytes * 8 * 1000 / rate;
    unit.status |= 0x10;
    unit.changed |= 0x10;
    return unit.length[ChDmc] ? unit.length[ChDmc] : -1;
}

void ApuSync(SoundUnitState &unit, int mode)
{
    const int first = unit.firstChannel;
    if (mode & 0x80) {
        mode &= 0x7F;
        if (unit.volume[ChNoise] && unit.frequency[ChNoise])
            Drum(0x11C, unit.volume[ChNoise]);
    }
    if (mode != 2)
        unit.pushMode = uint8_t(mode);
    if (unit.dutyChanged & 1)
        SetWave(first, DutyWaves[unit.registers[0x00] >> 6], 32, 0);
    if (unit.dutyChanged & 2)
        SetWave(first + 1, DutyWaves[unit.registers[0x04] >> 6], 32, 0);
    for (int c = 0; c < 7; ++c) {
        if (unit.changed & (1 << c))
            SetTone(first + c, unit.frequency[c], unit.volume[c]);
    }
    unit.changed = 0;
    unit.dutyChanged = 0;
}

uint8_t ApuFrameStep(SoundUnitState &unit, int ms)
{
    for (int c = 0; c < 7; ++c) {
        if (unit.frequency[c] == 0)
            continue;
        StepLength(unit, c, ms);
        StepEnvelope(unit, c, ms);
        StepSweep(unit, c, ms);
    }
    PushIfImmediate(unit);
    return unit.status;
}

} // namespace Cindrel
