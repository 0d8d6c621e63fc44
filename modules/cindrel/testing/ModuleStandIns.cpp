#include "modules/cindrel/testing/ModuleStandIns.h"

#include "modules/cindrel/machine/Machine.h"

#include <cstring>

namespace Cindrel {

StandInRecord StandIns;

void ResetStandIns() { StandIns = StandInRecord(); }

namespace {

int RecordLine(int kind, int line, int x, int y)
{
    ++StandIns.renderCalls;
    StandIns.lastRenderer = kind;
    StandIns.lineX[line & 255] = x;
    StandIns.lineY[line & 255] = y;
    return line == StandIns.spriteZeroHitLine;
}

} // namespace

int PpuLineEntry(int line, int x, int y) { return RecordLine(1, line, x, y); }
int PpuLineEntryLatch9(int line, int x, int y) { return RecordLine(2, line, x, y); }
int PpuLineEntryLatch10(int line, int x, int y) { return RecordLine(3, line, x, y); }
int PpuLineEntryMmc5(int line, int x, int y) { return RecordLine(4, line, x, y); }

void PresentFrame() { ++StandIns.presents; }

void SetPaletteColor(int index, int red, int green, int blue)
{
    ++StandIns.paletteCalls;
    if (index < 0 || index >= EmphasisColourCount)
        return;
    StandIns.colors[index][0] = uint8_t(red);
    StandIns.colors[index][1] = uint8_t(green);
    StandIns.colors[index][2] = uint8_t(blue);
}

void ReadPadState()
{
    ++StandIns.padReads;
    PadState[0] = StandIns.pad;
    PadState[1] = 0;
}

void TriggerSound() { ++StandIns.soundTriggers; }

} // namespace Cindrel
