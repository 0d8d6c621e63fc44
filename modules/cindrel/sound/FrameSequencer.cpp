// The sound unit on the CPU's clock: the frame sequencer's steps, the
// delayed restart of a $4017 write, the delta channel's output bytes, and
// what the CPU sees of them ($4015 and the IRQ line).
#include "modules/cindrel/sound/SoundUnit.h"

#include <algorithm>
#include <climits>

namespace Cindrel {

namespace {

// Cycles from the unit's cycle to its next sequencer step or restart.
int64_t CyclesToFrameStep(const SoundUnitState &unit)
{
    const int64_t step = SequenceOf(unit).steps[unit.frameStep].cycle - unit.frameCycle;
    return unit.frameWriteDelay ? std::min<int64_t>(step, unit.frameWriteDelay) : step;
}

void RestartSequence(SoundUnitState &unit)
{
    unit.frameControl = unit.frameWrite;
    unit.frameCycle = 0;
    unit.frameStep = 0;
    // The five-step sequence clocks every unit as it starts.
    if (unit.frameControl & 0x80) {
        ClockQuarterFrame(unit);
        ClockHalfFrame(unit);
    }
}

void TakeFrameStep(SoundUnitState &unit)
{
    const uint8_t what = SequenceOf(unit).steps[unit.frameStep].what;
    if ((what & FrameIrq) && !(unit.frameControl & 0x40))
        unit.status |= 0x40;
    if (what & FrameQuarter)
        ClockQuarterFrame(unit);
    if (what & FrameHalf)
        ClockHalfFrame(unit);
    if (what & FrameEnd) {
        unit.frameCycle = 0;
        unit.frameStep = 0;
    } else {
        ++unit.frameStep;
    }
}

} // namespace

void ApuRunTo(SoundUnitState &unit, int64_t cycle)
{
    if (unit.cycle == ApuUntied) {
        unit.cycle = cycle;
        return;
    }
    bool clocked = false;
    while (unit.cycle < cycle) {
        const int64_t frameDue = CyclesToFrameStep(unit);
        const int64_t byteDue = DmcCyclesToByte(unit);
        const int64_t run = std::min({cycle - unit.cycle, frameDue, byteDue});
        const bool restart = unit.frameWriteDelay && unit.frameWriteDelay == run;
        if (unit.frameWriteDelay)
            unit.frameWriteDelay = uint8_t(unit.frameWriteDelay - run);
        unit.cycle += run;
        unit.frameCycle += int32_t(run);
        DmcAdvance(unit, run);
        if (restart) {
            RestartSequence(unit);
            clocked = true;
        } else if (run == frameDue) {
            TakeFrameStep(unit);
            clocked = true;
        }
        if (run == byteDue) {
            DmcOutputByte(unit);
            clocked = true;
        }
    }
    if (clocked)
        RefreshChannels(unit);
}

bool HalfFrameNext(const SoundUnitState &unit)
{
    if (unit.cycle == ApuUntied)
        return false;
    if (unit.frameWriteDelay == 1)
        return unit.frameWrite & 0x80; // the five-step restart clocks at once
    return CyclesToFrameStep(unit) == 1 && (SequenceOf(unit).steps[unit.frameStep].what & FrameHalf);
}

uint8_t ApuReadStatus(SoundUnitState &unit)
{
    const uint8_t status = unit.status;
    unit.status &= uint8_t(~0x40);
    return status;
}

bool ApuIrqLine(const SoundUnitState &unit) { return unit.status & 0xC0; }

int64_t ApuNextEvent(const SoundUnitState &unit)
{
    if (unit.cycle == ApuUntied)
        return INT64_MAX;
    int64_t next = DmcIrqCycle(unit);
    if (unit.frameWriteDelay)
        return std::min(next, unit.cycle + unit.frameWriteDelay);
    if (unit.frameControl & 0xC0)
        return next;
    const FrameSequence &sequence = SequenceOf(unit);
    for (int s = unit.frameStep; s < sequence.count; ++s) {
        if (sequence.steps[s].what & FrameIrq)
            return std::min(next, unit.cycle + sequence.steps[s].cycle - unit.frameCycle);
    }
    return next;
}

} // namespace Cindrel
