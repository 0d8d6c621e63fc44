// The two instructions the CPU has already fetched ahead of the one it
// executes. The run loop reads each opcode from memory only when it comes
// to it, which is what the CPU would see, except when code stores over the
// instructions just ahead of itself: the CPU still runs those as it fetched
// them. A CPU store that lands there keeps their opcodes as they were and
// cuts the slice, and the run loop then executes the kept opcodes instead of
// fetching. A jump, an interrupt or a change of instruction set empties the
// pipeline, and with it what was kept.
#pragma once

#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

struct HeldFetches {
    uint32_t address[2]; // address[0] is the next instruction, then the one after
    uint32_t op[2];
    uint8_t count;
    uint8_t thumb;
};
extern HeldFetches Prefetched;

// Keeps the fetched opcodes when a store of `bytes` at address overlaps them.
[[gnu::cold]] void HoldFetchesAhead(ArmState *s, uint32_t address, uint32_t bytes);

// Every CPU store asks this first, before memory changes. r15 is the next
// instruction's address, so the fetched pair lies within 8 bytes above it;
// one subtraction and comparison sends the rare store near it aside.
inline void NoteStoreAhead(uint32_t address, uint32_t bytes)
{
    if (address - ConsoleCpu.r[15] + 4 < 12) [[unlikely]]
        HoldFetchesAhead(&ConsoleCpu, address, bytes);
}

// The kept opcode of the instruction at r15, taken out of the pipeline; false
// when there is none (and what was kept no longer applies and is dropped).
bool TakeHeldFetch(ArmState *s, uint32_t &op);

// Forgets what was kept (a reset, a loaded state).
inline void DropHeldFetches() { Prefetched.count = 0; }

} // namespace Tavrin
