// The sound unit's registers, the channels' counters and what the driver is
// handed. The counters are clocked by the frame sequencer
// (FrameSequencer.cpp); the driver hears them at the next push.
#include "modules/cindrel/sound/SoundUnit.h"

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
    RegEnable = 0x15,
    RegFrame = 0x17,
};

enum : int { ChTriangle = 2, ChNoise = 3, ChDmc = 4, ChWave = 5 };

// The register that holds channel c's halt (length counter frozen) bit.
bool LengthHalted(const SoundUnitState &unit, int c)
{
    return c == ChTriangle ? unit.registers[RegTriangleLinear] & 0x80 : unit.registers[4 * c] & 0x20;
}

void PushIfImmediate(SoundUnitState &unit)
{
    if (unit.pushMode == 0 && (unit.changed | unit.dutyChanged))
        ApuSync(unit, 2);
}

// The period a square's sweep aims at; square 1 negates in ones' complement.
int SweepTarget(const SoundUnitState &unit, int c)
{
    const uint8_t w = unit.registers[4 * c + 1];
    const int t = unit.timer[c];
    const int change = t >> (w & 7);
    if (w & 0x08)
        return t - change - (c == 0 ? 1 : 0);
    return t + change;
}

// A square is muted below period 8, and (on the first unit, whose squares
// have sweep units) while its sweep aims past 11 bits, sweeping or not.
bool SquareMuted(const SoundUnitState &unit, int c)
{
    if (unit.timer[c] < 8)
        return true;
    return unit.firstChannel == 0 && SweepTarget(unit, c) > 0x7FF;
}

int EnvelopeVolume(const SoundUnitState &unit, int c)
{
    const uint8_t control = unit.registers[4 * c];
    const int level = (control & 0x10) ? control & 15 : unit.envelopeLevel[c];
    return level * 255 / 15;
}

void SetChannel(SoundUnitState &unit, int c, int frequency, int volume)
{
    if (unit.frequency[c] == frequency && unit.volume[c] == volume)
        return;
    unit.frequency[c] = frequency;
    unit.volume[c] = volume;
    unit.changed |= uint8_t(1 << c);
}

// The registers holding a halt bit ($00, $04, $08, $0C) or loading a length
// counter ($03, $07, $0B, $0F).
bool HaltOrLength(int r) { return r <= 0x0F && ((r & 3) == 0 || (r & 3) == 3); }

// A load made with a length clock (see ApuWrite) is lost when that clock
// counted the counter down; a counter at 0, or halted, loads.
void WriteLength(SoundUnitState &unit, int c, uint8_t v, bool withClock)
{
    if (withClock && (unit.lengthClocked & (1 << c)))
        return;
    if (unit.enableMask & (1 << c))
        unit.lengthCounter[c] = LengthCounts[v >> 3];
}

void WriteEnable(SoundUnitState &unit, uint8_t v)
{
    for (int c = 0; c < 4; ++c)
        if (!(v & (1 << c)))
            unit.lengthCounter[c] = 0;
    unit.enableMask = v & 0x1F;
    unit.status &= 0x7F;
    DmcEnable(unit, v & 0x10);
}

void SetWaveFrequency(SoundUnitState &unit, int low, int high)
{
    const int f = low | (high & 15) << 8;
    unit.frequency[ChWave] = f * 55 >> 7;
    unit.changed |= 1 << ChWave;
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

// The noise clock in Hz: 1789772 over the hardware's periods.
const int32_t NoiseFrequencyTable[16] = {447443, 223722, 111861, 55930, 27965, 18643, 13983, 11186,
                                         8860,   7046,   4710,   3523,  2349,  1762,  880,   440};

int SquareFrequency(int timer) { return timer >= 7 ? 111861 / (timer + 1) : 0; }
int TriangleFrequency(int timer) { return timer >= 7 ? 55930 / (timer + 1) : 0; }

void ClockQuarterFrame(SoundUnitState &unit)
{
    for (int c : {0, 1, int(ChNoise)}) {
        const uint8_t control = unit.registers[4 * c];
        if (unit.envelopeStart & (1 << c)) {
            unit.envelopeStart &= uint8_t(~(1 << c));
            unit.envelopeLevel[c] = 15;
            unit.envelopeDivider[c] = control & 15;
        } else if (unit.envelopeDivider[c]) {
            --unit.envelopeDivider[c];
        } else {
            unit.envelopeDivider[c] = control & 15;
            if (unit.envelopeLevel[c])
                --unit.envelopeLevel[c];
            else if (control & 0x20)
                unit.envelopeLevel[c] = 15;
        }
    }
    const uint8_t linear = unit.registers[RegTriangleLinear];
    if (unit.linearReload)
        unit.linearCounter = linear & 0x7F;
    else if (unit.linearCounter)
        --unit.linearCounter;
    if (!(linear & 0x80))
        unit.linearReload = 0;
}

void ClockHalfFrame(SoundUnitState &unit)
{
    unit.lengthClocked = 0;
    for (int c = 0; c < 4; ++c) {
        if (unit.lengthCounter[c] && !LengthHalted(unit, c)) {
            --unit.lengthCounter[c];
            unit.lengthClocked |= uint8_t(1 << c);
        }
    }
    if (unit.firstChannel != 0)
        return; // the second unit's squares have no sweep units
    for (int c = 0; c < 2; ++c) {
        const uint8_t w = unit.registers[4 * c + 1];
        if (unit.sweepDivider[c] == 0 && (w & 0x80) && (w & 7) && !SquareMuted(unit, c))
            unit.timer[c] = uint16_t(SweepTarget(unit, c));
        if (unit.sweepDivider[c] == 0 || (unit.sweepReload & (1 << c))) {
            unit.sweepDivider[c] = (w >> 4) & 7;
            unit.sweepReload &= uint8_t(~(1 << c));
        } else {
            --unit.sweepDivider[c];
        }
    }
}

void RefreshChannels(SoundUnitState &unit)
{
    unit.status = uint8_t((unit.status & 0xC0) | RunningBits(unit));

    for (int c = 0; c < 2; ++c) {
        const bool sounds = unit.lengthCounter[c] && !SquareMuted(unit, c);
        SetChannel(unit, c, sounds ? SquareFrequency(unit.timer[c]) : 0, EnvelopeVolume(unit, c));
    }
    const bool triangle = unit.lengthCounter[ChTriangle] && unit.linearCounter;
    SetChannel(unit, ChTriangle, triangle ? TriangleFrequency(unit.timer[ChTriangle]) : 0, 255);
    const bool noise = unit.lengthCounter[ChNoise] != 0;
    SetChannel(unit, ChNoise, noise ? NoiseFrequencyTable[unit.registers[RegNoisePeriod] & 15] : 0,
            EnvelopeVolume(unit, ChNoise));
    // A delta sample sounds while its bytes last, and at least until the
    // push after its start so that a short one is heard at all.
    const bool delta = unit.dmcBytesLeft || unit.dmcBufferFull || unit.heardFresh;
    SetChannel(unit, ChDmc, delta ? 1 : 0, 255);
}

uint8_t ApuReset(SoundUnitState &unit, int setup)
{
    // A reset press writes $4017 again with its last value (power-on with
    // 0) and $4015 with 0, which spares the triangle's length counter. The
    // second unit's sequencer only clocks its channels: it has no frame
    // interrupt.
    const bool warm = setup & ApuWarm;
    const SoundUnitState before = unit;
    ApuBlankRecord(unit, setup);
    std::memset(DmcSampleBuffer, 0, sizeof DmcSampleBuffer);
    unit.frameControl = unit.firstChannel != 0 ? 0x40 : warm ? before.frameControl : 0;
    if (warm) {
        unit.lengthCounter[ChTriangle] = before.lengthCounter[ChTriangle];
        unit.registers[RegTriangleLinear] = before.registers[RegTriangleLinear];
    }
    // The console's reset makes that write some ten cycles before the first
    // instruction: the sequence is that far in when the CPU starts.
    unit.frameCycle = 7;
    const int first = unit.firstChannel;
    static constexpr int types[6] = {SoundTypeTone, SoundTypeTone, SoundTypeHalfVolumeTone,
                                     SoundTypeNoise, SoundTypeTone, SoundTypeTone};
    for (int c = 0; c < 6; ++c)
        SetSound(first + c, types[c]);
    SetWave(first, DutyWaves[0], 32, 0);
    SetWave(first + 1, DutyWaves[0], 32, 0);
    SetWave(first + 2, TriangleWave, 32, 0);
    RefreshChannels(unit);
    return unit.status;
}

uint8_t ApuWrite(SoundUnitState &unit, int r, uint8_t v)
{
    const int c = r >> 2;
    // A write to a halt bit or a length load lands together with a length
    // clock on the next cycle (the cycle on which a read would first see
    // the clocked counters): the clock counts first, with the halt bit as
    // it stood, and the write follows it.
    bool withClock = false;
    if (HaltOrLength(r) && HalfFrameNext(unit)) {
        ApuRunTo(unit, unit.cycle + 1);
        withClock = true;
    }
    switch (r) {
    case 0x00: case 0x04:
        if ((v ^ unit.registers[r]) & 0xC0)
            unit.dutyChanged |= uint8_t(1 << c);
        break;
    case 0x01: case 0x05:
        unit.sweepReload |= uint8_t(1 << c);
        break;
    case 0x02: case 0x06: case RegTriangleLow:
        unit.timer[c] = uint16_t((unit.timer[c] & 0x700) | v);
        break;
    case 0x03: case 0x07: case 0x0B:
        unit.timer[c] = uint16_t((unit.timer[c] & 0xFF) | (v & 7) << 8);
        WriteLength(unit, c, v, withClock);
        if (c == ChTriangle)
            unit.linearReload = 1;
        else
            unit.envelopeStart |= uint8_t(1 << c);
        break;
    case 0x0F:
        WriteLength(unit, ChNoise, v, withClock);
        unit.envelopeStart |= 1 << ChNoise;
        break;
    case RegDmcControl:
        if (!(v & 0x80))
            unit.status &= 0x7F;
        break;
    case RegEnable:
        WriteEnable(unit, v);
        break;
    case RegFrame:
        // Bit 6 masks and clears the frame interrupt at once; the sequence
        // restarts after 3 or 4 cycles, by the cycle's place in the
        // sequencer's two-cycle beat.
        if (v & 0x40) {
            unit.frameControl |= 0x40;
            unit.status &= uint8_t(~0x40);
        } else {
            unit.frameControl &= uint8_t(~0x40);
        }
        unit.frameWrite = v & 0xC0;
        unit.frameWriteDelay = (unit.cycle & 1) ? 4 : 3;
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
    if (r == RegDmcLevel)
        unit.registers[RegDmcLevel] = v & 0x7F;
    RefreshChannels(unit);
    PushIfImmediate(unit);
    return unit.status;
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
    // A delta sample that ended before this push is silenced at the next.
    if (unit.heardFresh) {
        unit.heardFresh = 0;
        RefreshChannels(unit);
    }
}

} // namespace Cindrel
