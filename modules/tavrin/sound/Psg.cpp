#include "modules/tavrin/sound/Psg.h"

#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/sound/NoiseClock.h"

#include <algorithm>
#include <cstring>

namespace Tavrin {

PsgState Psg;

namespace {

// DutyWaveTable: four 32-sample waves, +127 for the first 4, 8, 16 or 24.
constexpr auto MakeDutyWaves()
{
    struct Waves {
        signed char w[4][32];
    } waves{};
    constexpr int high[4] = {4, 8, 16, 24};
    for (int d = 0; d < 4; ++d)
        for (int i = 0; i < 32; ++i)
            waves.w[d][i] = i < high[d] ? 127 : -128;
    return waves;
}
constexpr auto kDutyWaves = MakeDutyWaves();

// PsgIoMap: offsets from I/O 0x060 to register numbers (0xFF: none).
constexpr auto MakeIoMap()
{
    struct Map {
        uint8_t m[64];
    } map{};
    for (auto &m : map.m)
        m = 0xFF;
    constexpr uint8_t pairs[][2] = {{0x00, 0},  {0x02, 1},  {0x03, 2},  {0x04, 3},  {0x05, 4},  {0x08, 6},
                                    {0x09, 7},  {0x0C, 8},  {0x0D, 9},  {0x10, 10}, {0x12, 11}, {0x13, 12},
                                    {0x14, 13}, {0x15, 14}, {0x18, 16}, {0x19, 17}, {0x1C, 18}, {0x1D, 19},
                                    {0x20, 20}, {0x21, 21}, {0x24, 22}};
    for (auto const &p : pairs)
        map.m[p[0]] = p[1];
    for (int i = 0; i < 16; ++i)
        map.m[0x30 + i] = uint8_t(32 + i);
    return map;
}
constexpr auto kIoMap = MakeIoMap();

constexpr uint32_t kStatus = 22;
constexpr uint32_t kWaveOn = 10;

uint8_t &Reg(uint32_t r) { return Psg.registers[r]; }
bool StatusOn(int c) { return (Reg(kStatus) >> c) & 1; }

// The squares sound at 0x20000 / (2048 - x) Hz; the wave table plays its 32
// samples at half of that, 64 samples at a quarter.
int32_t FrequencyOf(int c, int32_t x)
{
    if (c == 2)
        return ((Reg(kWaveOn) & 0x20) ? 0x8000 : 0x10000) / (2048 - x);
    return 0x20000 / (2048 - x);
}

void SetFrequency(int c, int32_t x)
{
    Psg.channel[c].frequency = FrequencyOf(c, x);
    if (c == 0)
        Psg.sweepFrequency = x;
    Psg.toneChanged |= uint8_t(1 << c);
}

void UpdateWaveVolume()
{
    PsgChannel &wave = Psg.channel[2];
    if (Reg(kWaveOn) & 0x80) {
        const int k = (Reg(12) >> 5) & 3;
        wave.volume = k ? (32 >> k) - 1 : 0;
    } else {
        Reg(kStatus) &= ~4u;
        wave.volume = 0;
        wave.frequency = 0;
    }
    Psg.toneChanged |= 4;
}

// What a channel is pushed with: its volume on 0-255. The mixer applies
// the master volumes and routing itself; the wave channel's 100, 50 and 25%
// are its samples shifted, so they stay exact halves.
int Output(int c)
{
    const int32_t volume = Psg.channel[c].volume;
    if (c == 2)
        return volume ? ((volume + 1) << 4) - 1 : 0;
    return volume * 17;
}

// The noise channel plays while its frequency is not 0; a stopped clock
// keeps it on (its length and envelope run) but silent.
int32_t NoiseFrequency() { return int32_t(std::max<uint32_t>(NoiseClockHz(Reg(18)), 1)); }
int32_t PushedFrequency(int c)
{
    const int32_t frequency = Psg.channel[c].frequency;
    return c == 3 && frequency ? int32_t(NoiseClockHz(Reg(18))) : frequency;
}

} // namespace

void PsgReset(int firstChannel)
{
    std::memset(Psg.registers, 0, sizeof Psg.registers);
    for (PsgChannel &ch : Psg.channel)
        ch = PsgChannel{-1, 0, 0, 0, 0, 0, -1};
    Psg.sweepTimer = Psg.sweepStep = Psg.sweepFrequency = Psg.sweepShift = 0;
    Psg.sweepDirection = 1;
    Psg.firstChannel = firstChannel;
    Psg.deferred = 1;
    Psg.toneChanged = 15;
    Psg.waveChanged = 0;
    Psg.extended = 0;
    std::memset(Psg.wave, -128, sizeof Psg.wave);
    for (int c = 0; c < 3; ++c)
        SetSound(firstChannel + c, SoundTypeTone);
    SetSound(firstChannel + 3, SoundTypeNoise);
    SetWave(firstChannel, kDutyWaves.w[0], 32, 0);
    SetWave(firstChannel + 1, kDutyWaves.w[0], 32, 0);
    SetWave(firstChannel + 2, Psg.wave, 32, 0);
    Reg(kStatus) = 0x80;
}

void PsgResetExtended()
{
    PsgReset(0);
    Psg.extended = 1;
}

int PsgWrite(uint32_t reg, uint32_t value)
{
    if (reg >= kPsgRegisters)
        return 0;
    value &= 0xFF;
    if (!(Reg(kStatus) & 0x80) && reg != kStatus)
        return 1;
    const int c = int(reg / 5);
    switch (reg) {
    case 0:
        Psg.sweepShift = int32_t(value & 7);
        Psg.sweepStep = int32_t((value >> 4) & 7) * 1000 / 128;
        Psg.sweepDirection = (value & 8) ? -1 : 1;
        break;
    case 1: case 6: case 16:
        Psg.channel[c].lengthLimit = int32_t(64 - (value & 63)) * 1000 / 256;
        if (c < 2 && ((value ^ Reg(reg)) & 0xC0))
            Psg.waveChanged |= uint8_t(1 << c);
        break;
    case 2: case 7: case 17: {
        PsgChannel &ch = Psg.channel[c];
        ch.envelopeStep = int32_t(value & 7) * 1000 / 64;
        ch.envelopeDirection = (value & 8) ? 1 : -1;
        ch.volume = int32_t(value >> 4);
        if (StatusOn(c))
            Psg.toneChanged |= uint8_t(1 << c);
        break;
    }
    case 3: case 8: case 13:
        if (StatusOn(c))
            SetFrequency(c, int32_t(value + ((Reg(reg + 1) & 7) << 8)));
        break;
    case 4: case 9: case 14: {
        PsgChannel &ch = Psg.channel[c];
        if (value & 0x80) {
            if (c < 2) {
                Reg(kStatus) |= uint8_t(1 << c);
                ch.volume = Reg(reg - 2) >> 4;
            } else if (Reg(kWaveOn) & 0x80) {
                Reg(kStatus) |= 4;
            }
            ch.lengthCount = (value & 0x40) ? 0 : -1;
            ch.envelopeTimer = 0;
            if (c == 0)
                Psg.sweepTimer = 0;
        }
        if (StatusOn(c))
            SetFrequency(c, int32_t(((value & 7) << 8) + Reg(reg - 1)));
        break;
    }
    case 10: case 12: {
        // A new bank or size plays at once: the wave goes out again.
        if (reg == kWaveOn && ((value ^ Reg(reg)) & 0x60))
            Psg.waveChanged |= 4;
        Reg(reg) = uint8_t(value);
        UpdateWaveVolume();
        if (reg == kWaveOn && StatusOn(2))
            SetFrequency(2, int32_t(Reg(13) + ((Reg(14) & 7) << 8)));
        break;
    }
    case 11:
        Psg.channel[2].lengthLimit = int32_t(256 - value) * 1000 / 256;
        break;
    case 18:
        // A new clock plays at once.
        Reg(reg) = uint8_t(value);
        if (StatusOn(3)) {
            Psg.channel[3].frequency = NoiseFrequency();
            Psg.toneChanged |= 8;
        }
        break;
    case 19:
        if (value & 0x80) {
            PsgChannel &ch = Psg.channel[3];
            Reg(kStatus) |= 8;
            ch.frequency = NoiseFrequency();
            ch.volume = Reg(17) >> 4;
            ch.lengthCount = (value & 0x40) ? 0 : -1;
            ch.envelopeTimer = 0;
            Psg.toneChanged |= 8;
        }
        break;
    case kStatus:
        if ((Reg(kStatus) & 0x80) && !(value & 0x80)) {
            const uint8_t extended = Psg.extended;
            PsgReset(Psg.firstChannel);
            Psg.extended = extended;
            Reg(kStatus) = 0;
        }
        value = (value & 0xF0) | (Reg(kStatus) & 0x0F);
        break;
    default:
        if (reg >= 32) {
            int index = int(reg - 32) * 2;
            if (Psg.extended && !(Reg(kWaveOn) & 0x40))
                index += 32;
            Psg.wave[index] = static_cast<signed char>(int(value >> 4) * 17 - 128);
            Psg.wave[index + 1] = static_cast<signed char>(int(value & 15) * 17 - 128);
            Psg.waveChanged |= 4;
        }
        break;
    }
    Reg(reg) = uint8_t(value);
    if (!Psg.deferred && (Psg.waveChanged || Psg.toneChanged))
        PsgSync(2);
    return 1;
}

int PsgWriteIo(uint32_t offset, uint32_t value)
{
    if (!Psg.extended || offset >= 64)
        return 0;
    const uint32_t o = offset & ~1u;
    PsgWrite(kIoMap.m[o], value & 0xFF);
    PsgWrite(kIoMap.m[o + 1], (value >> 8) & 0xFF);
    return 1;
}

void PsgSync(int mode)
{
    const int first = Psg.firstChannel;
    if (mode & 0x80) {
        const int v = Output(3);
        if (v != 0)
            Drum(0x11C, v);
        mode &= 0x7F;
    }
    if (mode != 2)
        Psg.deferred = uint8_t(mode);
    if (Psg.waveChanged & 1)
        SetWave(first, kDutyWaves.w[Reg(1) >> 6], 32, 0);
    if (Psg.waveChanged & 2)
        SetWave(first + 1, kDutyWaves.w[Reg(6) >> 6], 32, 0);
    if (Psg.waveChanged & 4) {
        const uint8_t waveOn = Reg(kWaveOn);
        const int bank = (Psg.extended && (waveOn & 0x60) == 0x40) ? 32 : 0;
        const int length = (Psg.extended && (waveOn & 0x20)) ? 64 : 32;
        SetWave(first + 2, Psg.wave + bank, length, 0);
    }
    for (int c = 0; c < 4; ++c)
        if (Psg.toneChanged & (1 << c))
            SetTone(first + c, PushedFrequency(c), Output(c));
    Psg.waveChanged = 0;
    Psg.toneChanged = 0;
}

void PsgTick(int milliseconds)
{
    for (int c = 0; c < 4; ++c) {
        PsgChannel &ch = Psg.channel[c];
        if (ch.frequency == 0)
            continue;
        if (ch.lengthCount >= 0) {
            ch.lengthCount += milliseconds;
            if (ch.lengthCount >= ch.lengthLimit) {
                ch.frequency = 0;
                Reg(kStatus) &= uint8_t(~(1u << c));
                Psg.toneChanged |= uint8_t(1 << c);
            }
        }
        if (ch.frequency != 0 && ch.envelopeStep != 0) {
            ch.envelopeTimer += milliseconds;
            if (ch.envelopeTimer >= ch.envelopeStep) {
                ch.envelopeTimer -= ch.envelopeStep;
                ch.volume = std::clamp(ch.volume + ch.envelopeDirection, 0, 15);
                Psg.toneChanged |= uint8_t(1 << c);
            }
        }
    }
    PsgChannel &first = Psg.channel[0];
    if (first.frequency != 0 && Psg.sweepStep != 0 && Psg.sweepShift != 0) {
        Psg.sweepTimer += milliseconds;
        if (Psg.sweepTimer >= Psg.sweepStep) {
            Psg.sweepTimer -= Psg.sweepStep;
            const int32_t x = Psg.sweepFrequency + (Psg.sweepFrequency >> Psg.sweepShift) * Psg.sweepDirection;
            if (x > 2047) {
                Reg(kStatus) &= ~1u;
                first.frequency = 0;
            } else if (x >= 0) {
                Psg.sweepFrequency = x;
                Reg(3) = uint8_t(x);
                Reg(4) = uint8_t((Reg(4) & ~7u) | uint32_t(x >> 8));
                first.frequency = 0x20000 / (2048 - x);
            }
            Psg.toneChanged |= 1;
        }
    }
    if (!Psg.deferred && Psg.toneChanged)
        PsgSync(2);
}

uint32_t PsgOnFlags() { return Reg(kStatus); }

} // namespace Tavrin
