// The sound unit's 236-byte record in state files, field by field, and the
// checks a record read back must pass before the unit runs on it.
#include "common/zorvan/ByteStream.h"
#include "modules/cindrel/sound/SoundUnit.h"

#include <algorithm>

namespace Cindrel {

namespace {

// Longer than any length, sweep or envelope the unit produces (the longest
// delta sample lasts under 8 s).
constexpr int32_t MaxTimeMs = 60000;
constexpr int32_t MaxFrequency = 1000000;

bool InRange(const int32_t *values, int32_t low, int32_t high)
{
    return std::all_of(values, values + 7, [=](int32_t v) { return v >= low && v <= high; });
}

bool AllZero(const SoundUnitState &unit)
{
    SoundUnitState zero{};
    return unit.firstChannel == 0 && unit.framesPerSecond == 0 && unit.status == 0 && unit.pushMode == 0 &&
           std::equal(unit.frequency, unit.frequency + 7, zero.frequency) &&
           std::equal(unit.volume, unit.volume + 7, zero.volume) &&
           std::equal(unit.length, unit.length + 7, zero.length) &&
           std::equal(unit.sweepTimer, unit.sweepTimer + 7, zero.sweepTimer) &&
           std::equal(unit.envelopeTimer, unit.envelopeTimer + 7, zero.envelopeTimer);
}

} // namespace

bool ApuStateValid(const SoundUnitState &unit)
{
    // The second unit of a cartridge without mapper 5 is never reset.
    if (AllZero(unit))
        return true;
    if (unit.framesPerSecond != 50 && unit.framesPerSecond != 60)
        return false;
    if (unit.firstChannel != 0 && unit.firstChannel != 5)
        return false;
    if (!InRange(unit.frequency, 0, MaxFrequency) || !InRange(unit.volume, 0, 255) ||
        !InRange(unit.length, 0, MaxTimeMs) || !InRange(unit.sweepTimer, 0, MaxTimeMs) ||
        !InRange(unit.envelopeTimer, 0, MaxTimeMs) || !InRange(unit.timer, 0, 2047) ||
        !InRange(unit.envelopeLevel, 0, 15))
        return false;
    // Channels 5 and 6 have no envelope or sweep registers.
    for (int c = 5; c < 7; ++c) {
        if (unit.sweepTimer[c] || unit.envelopeTimer[c])
            return false;
    }
    return true;
}

void ApuWriteImage(const SoundUnitState &unit, Zorvan::ByteWriter &out)
{
    out.raw(unit.registers, sizeof unit.registers);
    out.u8(unit.status);
    out.raw(unit.waveRegisters, sizeof unit.waveRegisters);
    out.zeros(2);
    for (const int32_t *field : {unit.frequency, unit.volume, unit.length, unit.sweepTimer, unit.envelopeTimer,
                                 unit.timer, unit.envelopeLevel})
        for (int c = 0; c < 7; ++c)
            out.i32(field[c]);
    out.i32(unit.firstChannel);
    out.i32(unit.framesPerSecond);
    out.u8(unit.enableMask);
    out.u8(unit.changed);
    out.u8(unit.dutyChanged);
    out.u8(unit.pushMode);
}

bool ApuReadImage(SoundUnitState &unit, Zorvan::ByteReader &in)
{
    SoundUnitState next{};
    in.raw(next.registers, sizeof next.registers);
    next.status = in.u8();
    in.raw(next.waveRegisters, sizeof next.waveRegisters);
    in.skip(2);
    for (int32_t *field : {next.frequency, next.volume, next.length, next.sweepTimer, next.envelopeTimer,
                           next.timer, next.envelopeLevel})
        for (int c = 0; c < 7; ++c)
            field[c] = in.i32();
    next.firstChannel = in.i32();
    next.framesPerSecond = in.i32();
    next.enableMask = in.u8();
    next.changed = in.u8();
    next.dutyChanged = in.u8();
    next.pushMode = in.u8();
    if (!in.ok() || !ApuStateValid(next))
        return false;
    // All zero stands only for a unit that was never reset: a running one
    // would be left without a frame rate, which its timings divide by.
    if (next.framesPerSecond == 0 && unit.framesPerSecond != 0)
        return false;
    unit = next;
    return true;
}

} // namespace Cindrel
