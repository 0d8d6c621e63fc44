// What the 6502 interpreter needs from the machine around it. The machine
// defines these; the CPU tests and the benchmark link small stand-ins.
//
// The symbols are hidden so that, inside the module library, the
// interpreter reaches them with direct calls and PC-relative loads rather
// than through the symbol tables.
#pragma once

#include <cstdint>

namespace Cindrel {

struct Cpu6502State;

#pragma GCC visibility push(hidden)

// One host pointer per 8 KB of the CPU's address space; entry 0 covers
// $0000-$1FFF. Opcodes, operands, stack pulls and zero-page pointers are
// read straight from it, but for code in the registers' space.
extern uint8_t *FetchMap[8];

// Code at $2000 to $2000 + IoFetchSpan - 1 is read from the devices through
// ReadMemory. The FetchMap pages over that span hold IoTrapOpcode (a halting
// opcode) as a mark: meeting it there, the interpreter reads the
// instruction's bytes from the devices into the page, runs it and puts the
// marks back. Those pages are the interpreter's; nothing else reads them.
// An instruction that starts below $2000 reads the marks as its operands.
inline constexpr uint16_t IoFetchSpan = 0x2020;
inline constexpr uint8_t IoTrapOpcode = 0x02;

// Data accesses of the CPU (also the reset and interrupt vectors). While
// the run loop calls them the record's cyclesLeft is current; WriteMemory
// may lower it (sprite DMA), ReadMemory must leave it alone.
uint8_t ReadMemory(uint16_t address);
void WriteMemory(uint16_t address, uint8_t value);

// Called whenever the cycle countdown runs out. Sets cpu.linePeriod and
// returns an interrupt code (0 none, 1 IRQ, 2 NMI, 3 quit).
int LineHook(Cpu6502State &cpu);

// Set by LineHook at the end of a frame; the interpreter clears it.
extern bool FrameDone;

#pragma GCC visibility pop

} // namespace Cindrel
