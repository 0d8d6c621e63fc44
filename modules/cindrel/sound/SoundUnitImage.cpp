// The sound unit's 236-byte record in state files, field by field; the
// checks a record read back must pass before the unit runs on it; and the
// records saved before the unit ran on the CPU's clock, whose lengths,
// sweeps and envelopes were counted in milliseconds, taken over as far as
// they go. Byte 26, zero in those records, tells the two apart.
#include "common/zorvan/ByteStream.h"
#include "modules/cindrel/sound/SoundUnit.h"

#include <algorithm>
#include <cstring>

namespace Cindrel {

namespace {

constexpr uint8_t ClockedLayout = 1;
constexpr int SpareAt = 123, TailAt = 224;

// Longer than any length, sweep or envelope the millisecond records held
// (the longest delta sample lasts under 8 s).
constexpr int32_t MaxTimeMs = 60000;
constexpr int32_t MaxFrequency = 1000000;

template <typename T>
bool InRange(const T *values, int count, int64_t low, int64_t high)
{
    return std::all_of(values, values + count, [=](T v) { return v >= low && v <= high; });
}

// The second unit of a cartridge without mapper 5 is never reset: its record
// is all zero but for the layout byte.
bool NeverReset(const SoundUnitState &unit)
{
    Zorvan::ByteWriter out;
    ApuWriteImage(unit, out);
    out.bytes()[26] = 0;
    return std::all_of(out.bytes().begin(), out.bytes().end(), [](uint8_t b) { return b == 0; });
}

// What is wrong with a record the unit would run on, or null.
const char *Fault(const SoundUnitState &unit)
{
    if (NeverReset(unit))
        return nullptr;
    if (unit.framesPerSecond != 50 && unit.framesPerSecond != 60)
        return "a frame rate other than 50 or 60";
    if (unit.firstChannel != 0 && unit.firstChannel != 5)
        return "a first channel other than 0 or 5";
    if (!InRange(unit.frequency, 7, 0, MaxFrequency) || !InRange(unit.volume, 7, 0, 255))
        return "a tone out of range";
    if (unit.enableMask > 0x1F || unit.dutyChanged > 3 || (unit.status & 0x20))
        return "the enable or status bits out of range";
    const FrameSequence &sequence = SequenceOf(unit);
    const char *why = nullptr;
    if (!InRange(unit.timer, 3, 0, 2047))
        why = "a channel period beyond 11 bits";
    else if (!InRange(unit.lengthCounter, 4, 0, 254))
        why = "a length counter beyond 254";
    else if (!InRange(unit.envelopeLevel, 4, 0, 15) || !InRange(unit.envelopeDivider, 4, 0, 15) ||
             (unit.envelopeStart & ~0x0B))
        why = "an envelope out of range";
    else if (!InRange(unit.sweepDivider, 2, 0, 7) || unit.sweepReload > 3)
        why = "a sweep out of range";
    else if (unit.linearCounter > 127 || unit.linearReload > 1)
        why = "the triangle's linear counter out of range";
    else if ((unit.frameControl | unit.frameWrite) & 0x3F || unit.frameWriteDelay > 4)
        why = "a $4017 value out of range";
    else if (unit.frameStep >= sequence.count)
        why = "a frame-sequencer step beyond its sequence";
    else if (unit.frameCycle < (unit.frameStep ? sequence.steps[unit.frameStep - 1].cycle : 0) ||
             unit.frameCycle >= sequence.steps[unit.frameStep].cycle)
        why = "a frame-sequencer cycle beyond its step";
    else if (unit.dmcBytesLeft > DmcMaxBytes)
        why = "a delta byte count beyond 4081";
    else if (unit.dmcBytesLeft && unit.dmcAddress < 0x8000)
        why = "a delta address below $8000";
    else if (unit.dmcTimer < 1 || unit.dmcTimer > DmcPeriods[0][0] || unit.dmcBitsLeft < 1 ||
             unit.dmcBitsLeft > 8 || unit.dmcBufferFull > 1)
        why = "the delta channel's timer out of range";
    return why;
}

// What a millisecond record holds beyond the fields both layouts share.
struct MillisecondRecord {
    int32_t length[7], sweepTimer[7], envelopeTimer[7], timer[7], envelopeLevel[7];
};

const char *CheckMilliseconds(const MillisecondRecord &old)
{
    if (!InRange(old.length, 7, 0, MaxTimeMs) || !InRange(old.sweepTimer, 7, 0, MaxTimeMs) ||
        !InRange(old.envelopeTimer, 7, 0, MaxTimeMs) || !InRange(old.timer, 7, 0, 2047) ||
        !InRange(old.envelopeLevel, 7, 0, 15))
        return "a length, sweep or envelope out of range";
    // Channels 5 and 6 have no envelope or sweep registers.
    for (int c = 5; c < 7; ++c)
        if (old.sweepTimer[c] || old.envelopeTimer[c])
            return "a sweep or envelope on the wave channel";
    return nullptr;
}

// The counters a millisecond record stands for. Its unit never raised a
// frame interrupt, so the sequencer starts with it masked.
void TakeOverMilliseconds(SoundUnitState &unit, const MillisecondRecord &old)
{
    const int fps = unit.framesPerSecond ? unit.framesPerSecond : 60;
    for (int c = 0; c < 3; ++c)
        unit.timer[c] = uint16_t(old.timer[c]);
    for (int c = 0; c < 4; ++c) {
        const int64_t halves = (int64_t(old.length[c]) * 2 * fps + 999) / 1000;
        unit.lengthCounter[c] = !(unit.status & (1 << c)) ? 0 : old.length[c] == 0 ? 254 : uint8_t(std::min<int64_t>(halves, 254));
    }
    for (int c : {0, 1, 3}) {
        unit.envelopeLevel[c] = uint8_t(old.envelopeLevel[c]);
        unit.envelopeDivider[c] = unit.registers[4 * c] & 15;
    }
    for (int c = 0; c < 2; ++c)
        unit.sweepDivider[c] = (unit.registers[4 * c + 1] >> 4) & 7;
    unit.linearCounter = (unit.status & 4) ? unit.registers[0x08] & 0x7F : 0;
    unit.frameControl = 0x40;
    unit.dmcTimer = uint16_t(DmcPeriod(unit));
    unit.dmcBitsLeft = 8;
    if (unit.status & 0x10) {
        const int total = unit.registers[0x13] * 16 + 1;
        const int64_t rate = 1789772 / DmcPeriod(unit);
        const int64_t left = old.length[4] ? std::clamp<int64_t>(old.length[4] * rate / 8000, 1, total) : total;
        uint32_t address = 0xC000 + (unit.registers[0x12] << 6) + uint32_t(total - left);
        if (address > 0xFFFF)
            address -= 0x8000;
        unit.dmcAddress = uint16_t(address);
        unit.dmcBytesLeft = uint16_t(left);
        unit.dmcBufferFull = 1;
    }
    unit.status &= 0x80;
}

} // namespace

void ApuBlankRecord(SoundUnitState &unit, int setup)
{
    unit = SoundUnitState{};
    unit.pushMode = 1;
    unit.changed = 0x7F;
    unit.framesPerSecond = (setup & ApuPal) ? 50 : 60;
    unit.firstChannel = setup & 0xFFFF;
    unit.enableMask = 0;
    unit.volume[2] = 255;
    unit.volume[4] = 255;
    unit.dmcTimer = uint16_t(DmcPeriod(unit));
    unit.dmcBitsLeft = 8;
}

bool ApuStateValid(const SoundUnitState &unit) { return Fault(unit) == nullptr; }

void ApuWriteImage(const SoundUnitState &unit, Zorvan::ByteWriter &out)
{
    out.raw(unit.registers, sizeof unit.registers);
    out.u8(unit.status);
    out.raw(unit.waveRegisters, sizeof unit.waveRegisters);
    out.u8(ClockedLayout);
    out.u8(unit.frameControl);
    for (const int32_t *field : {unit.frequency, unit.volume})
        for (int c = 0; c < 7; ++c)
            out.i32(field[c]);
    for (uint16_t t : unit.timer)
        out.u16(t);
    out.raw(unit.lengthCounter, 4);
    out.raw(unit.envelopeLevel, 4);
    out.raw(unit.envelopeDivider, 4);
    out.u8(unit.envelopeStart);
    out.raw(unit.sweepDivider, 2);
    out.u8(unit.sweepReload);
    out.u8(unit.linearCounter);
    out.u8(unit.linearReload);
    out.u8(unit.frameStep);
    out.u8(unit.frameWrite);
    out.u8(unit.frameWriteDelay);
    out.u8(unit.dmcBitsLeft);
    out.i32(unit.frameCycle);
    out.u16(unit.dmcTimer);
    out.u16(unit.dmcAddress);
    out.u16(unit.dmcBytesLeft);
    out.u8(unit.dmcBufferFull);
    out.zeros(TailAt - SpareAt);
    out.i32(unit.firstChannel);
    out.i32(unit.framesPerSecond);
    out.u8(unit.enableMask);
    out.u8(unit.changed);
    out.u8(unit.dutyChanged);
    out.u8(unit.pushMode);
}

bool ApuReadImage(SoundUnitState &unit, Zorvan::ByteReader &in, const char **reason)
{
    const char *why = nullptr;
    SoundUnitState next{};
    MillisecondRecord old{};
    in.raw(next.registers, sizeof next.registers);
    next.status = in.u8();
    in.raw(next.waveRegisters, sizeof next.waveRegisters);
    const uint8_t layout = in.u8();
    next.frameControl = in.u8();
    for (int32_t *field : {next.frequency, next.volume})
        for (int c = 0; c < 7; ++c)
            field[c] = in.i32();
    if (layout == ClockedLayout) {
        for (uint16_t &t : next.timer)
            t = in.u16();
        in.raw(next.lengthCounter, 4);
        in.raw(next.envelopeLevel, 4);
        in.raw(next.envelopeDivider, 4);
        next.envelopeStart = in.u8();
        in.raw(next.sweepDivider, 2);
        next.sweepReload = in.u8();
        next.linearCounter = in.u8();
        next.linearReload = in.u8();
        next.frameStep = in.u8();
        next.frameWrite = in.u8();
        next.frameWriteDelay = in.u8();
        next.dmcBitsLeft = in.u8();
        next.frameCycle = in.i32();
        next.dmcTimer = in.u16();
        next.dmcAddress = in.u16();
        next.dmcBytesLeft = in.u16();
        next.dmcBufferFull = in.u8();
        in.skip(TailAt - SpareAt);
    } else {
        for (int32_t *field : {old.length, old.sweepTimer, old.envelopeTimer, old.timer, old.envelopeLevel})
            for (int c = 0; c < 7; ++c)
                field[c] = in.i32();
    }
    next.firstChannel = in.i32();
    next.framesPerSecond = in.i32();
    next.enableMask = in.u8();
    next.changed = in.u8();
    next.dutyChanged = in.u8();
    next.pushMode = in.u8();

    if (!in.ok())
        why = "the sound record is cut short";
    else if (layout > ClockedLayout || (layout == 0 && next.frameControl))
        why = "an unknown sound record layout";
    else if (layout == 0 && (why = CheckMilliseconds(old)) == nullptr && next.framesPerSecond)
        TakeOverMilliseconds(next, old);
    if (!why)
        why = Fault(next);
    // All zero stands only for a unit that was never reset: a running one
    // would be left without its region's timings.
    if (!why && NeverReset(next) && unit.framesPerSecond != 0)
        why = "an unused sound record in place of a running unit";
    if (why) {
        if (reason)
            *reason = why;
        return false;
    }
    // The running bits follow from the counters.
    next.status = uint8_t((next.status & 0xC0) | RunningBits(next));
    unit = next; // untied from the machine's clock
    return true;
}

} // namespace Cindrel
