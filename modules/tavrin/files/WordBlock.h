// The state file's block of 256 machine words: the halt state, the
// background order, the timers, the affine walk of backgrounds 2 and 3 and
// how far the timers are ahead of the running slice's start, the sound
// DMA's own source addresses and the two direct-sound FIFOs (0 in states
// made before those words were written). Words 58-255 are written as 0 and
// ignored when read.
#pragma once

#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Tavrin {

inline constexpr uint32_t WordBlockSize = 1024;

struct MachineWords {
    uint32_t haltState;
    uint32_t bgOrder[4];
    int32_t timerPeriod[4];
    int32_t timerCountdown[4];
    uint32_t timerCounter[4];
    uint32_t timerReload[4];
    int32_t affine[2][8]; // BG2, BG3: RefX, RefY, CurX, CurY, Pa, Pb, Pc, Pd
    uint32_t timerLead;   // cycles
    uint32_t fifoSource[2]; // 0: not kept, the DMA's source registers stand in
    // Each FIFO's 32 bytes as 8 words, then head | count << 8 | playing << 16.
    uint32_t fifo[2][9];
};

MachineWords TakeMachineWords();
void PutMachineWords(const MachineWords &w);

void WriteWordBlock(const MachineWords &w, Zorvan::ByteWriter &out);
// Null when the block is whole and every word is one the machine can hold;
// else the reason it is not.
const char *ReadWordBlock(MachineWords &w, Zorvan::ByteReader &in);

} // namespace Tavrin
