// Recording stand-ins for the parts of the 6502 module that the machine
// calls (ModuleParts.h): sound unit (SoundStandIn.cpp), renderers, video
// and pad input. They
// keep what reaches them so tests can look, and let tests choose the pad
// byte and the line on which sprite 0 touches the background. The module's
// own parts replace this file.
#pragma once

#include "modules/cindrel/machine/ModuleParts.h"

#include <cstdint>
#include <climits>

namespace Cindrel {

struct StandInRecord {
    // Renderers: the (x, y) each line was drawn with, and how often.
    int renderCalls = 0;
    int lastRenderer = 0; // 0 none, 1 normal, 2 latch 9, 3 latch 10, 4 MMC5
    int lineX[256] = {};
    int lineY[256] = {};
    int spriteZeroHitLine = -1; // the renderers report a hit on this line
    // Video.
    int presents = 0;
    int paletteCalls = 0;
    uint8_t colors[EmphasisColourCount][3] = {};
    // Input: the player-1 byte ReadPadState delivers.
    uint8_t pad = 0;
    int padReads = 0;
    // Sound: the stand-in unit raises its IRQ line once it has run to
    // irqAt, and a $4015 read drops it.
    int soundTriggers = 0;
    int apuWrites = 0;
    int apuResets = 0;
    int lastApuRegister = -1;
    uint8_t lastApuValue = 0;
    int64_t irqAt = INT64_MAX;
    int64_t lastRunTo = -1;
    bool irqLine = false;
};
extern StandInRecord StandIns;

// Back to the defaults above.
void ResetStandIns();

} // namespace Cindrel
