// What the Z80 core needs from the machine around it. The machine defines
// these; the core only calls them. Test programs and benchmarks supply
// their own small machines.
#pragma once

#include <cstdint>

namespace Belcrest {

struct Z80State;

// One host pointer per 8 KB of the Z80 address space; every fetch and read
// goes through it.
extern uint8_t *Z80PageTable[8];

// Set by the line step when the frame's last visible line has been handled.
extern uint8_t FrameDone;

// Every CPU store, pushes and interrupt pushes included.
void WriteMemory(uint16_t address, uint8_t value);
uint8_t ReadPort(uint16_t port);
void WritePort(uint16_t port, uint8_t value);

// Called whenever a slice of cycles is used up. Sets cpu.linePeriod for the
// next slice and returns an interrupt word (Z80VectorNone, Z80VectorNmi,
// Z80VectorQuit, or a maskable vector).
uint16_t LineHook(Z80State &cpu);

// The trap opcode ED FE.
void TrapHandler(Z80State &cpu);

} // namespace Belcrest
