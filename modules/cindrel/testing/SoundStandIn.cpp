// The sound unit's stand-in: it keeps the register copies, records what
// reaches it and raises its IRQ line at the cycle a test chooses, so the
// machine's own tests see the $4000-$4017 paths and the slice cut for a
// sound interrupt without the unit's timings.
#include "modules/cindrel/testing/ModuleStandIns.h"
#include "modules/cindrel/sound/SoundUnit.h"

namespace Cindrel {

SoundUnitState SoundUnit;

uint8_t ApuReset(SoundUnitState &unit, int setup)
{
    ++StandIns.apuResets;
    ApuBlankRecord(unit, setup);
    return unit.status;
}

void ApuRunTo(SoundUnitState &unit, int64_t cycle)
{
    unit.cycle = cycle;
    StandIns.lastRunTo = cycle;
    if (cycle >= StandIns.irqAt) {
        StandIns.irqLine = true;
        StandIns.irqAt = INT64_MAX;
    }
}

uint8_t ApuWrite(SoundUnitState &unit, int reg, uint8_t value)
{
    ++StandIns.apuWrites;
    StandIns.lastApuRegister = reg;
    StandIns.lastApuValue = value;
    if (reg < 0x15)
        unit.registers[reg] = value;
    else if (reg >= 0x80 && reg <= 0x83)
        unit.waveRegisters[reg - 0x80] = value;
    if (reg == 0x15)
        unit.enableMask = value & 0x1F;
    return unit.status;
}

uint8_t ApuReadStatus(SoundUnitState &unit)
{
    const uint8_t status = uint8_t(unit.status | (StandIns.irqLine ? 0x40 : 0));
    StandIns.irqLine = false;
    return status;
}

bool ApuIrqLine(const SoundUnitState &unit) { return &unit == &SoundUnit && StandIns.irqLine; }

int64_t ApuNextEvent(const SoundUnitState &unit) { return &unit == &SoundUnit ? StandIns.irqAt : INT64_MAX; }

void ApuSync(SoundUnitState &, int) {}

} // namespace Cindrel
