// Memory that nothing answers (above the BIOS up to external work RAM, and
// everything from 0x10000000 up): a read returns what the bus last carried,
// the instruction word the CPU prefetched last; a store is lost; a jump into
// it keeps executing the word the bus held when the CPU got there.
//
// Loads test their address with OutsideMemory, one comparison that also
// covers the BIOS area, so mapped memory pays nothing more. Fetches need no
// test at all: the read pages of unmapped memory point at OpenBusPage, whose
// bytes decode as an undefined instruction in both instruction sets, and
// only the undefined-instruction path asks whether the fetch came from there.
#pragma once

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmState.h"

#include <cstdint>

namespace Tavrin {

// What every byte of OpenBusPage holds: 0xEEEEEEEE is a coprocessor data
// operation in ARM state and 0xEEEE an undefined opcode in THUMB state.
inline constexpr uint8_t OpenBusFill = 0xEE;
extern uint8_t OpenBusPage[PageSize];

inline bool InOpenBus(uint32_t address) { return ReadPageTable[address >> PageShift] == OpenBusPage; }

// The BIOS area and unmapped memory: below external work RAM, or from
// 0x10000000 up.
inline bool OutsideMemory(uint32_t address) { return address - 0x02000000u >= 0x0E000000u; }

// Where the last jump was made (bit 0 set for a THUMB instruction), noted by
// every instruction that may jump out of mapped memory; NoJump once a fetch
// from unmapped memory has taken it into the latch.
inline constexpr uint32_t NoJump = 0xFFFFFFFF;
extern uint32_t OpenBusJumpFrom;
inline void NoteJump(uint32_t instructionAddress, bool thumb) { OpenBusJumpFrom = instructionAddress | thumb; }

// The word a read of unmapped memory returns now: the word prefetched while
// the current instruction (r15 one instruction ahead of it) executes, or the
// held word while the CPU runs in unmapped memory.
uint32_t OpenBusWord(const ArmState *s);

// A fetch from unmapped memory: the word the bus holds.
uint32_t OpenBusFetch();

// A new memory map: nothing was fetched yet, no jump was made.
void ResetOpenBus();

// The aligned word a CPU load of address (with OutsideMemory true) sees:
// the BIOS under its read protection, or the open bus.
uint32_t CpuOutsideWord(const ArmState *s, uint32_t address);

} // namespace Tavrin
