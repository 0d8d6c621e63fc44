// A flat 64 KB machine for the CPU tests: every address is RAM, FetchMap
// points into it, data accesses can be logged, and LineHook by default ends
// the frame at every call so one RunFrame runs exactly one instruction when
// the countdown starts at 1.
#pragma once

#include "modules/cindrel/cpu/Cpu6502.h"
#include "modules/cindrel/cpu/CpuBus.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace Cindrel::Test {

struct Access {
    uint16_t address;
    uint8_t value;
    bool write;
    bool operator==(const Access &) const = default;
};

extern uint8_t Ram[0x10000];
extern std::vector<Access> Accesses; // filled while LogAccesses is set
extern bool LogAccesses;
extern int HookCalls;
// Replaces the default LineHook (end the frame, return HookCode).
extern std::function<int(Cpu6502State &)> OnLineHook;
extern int HookCode;
// Called after a write has been stored.
extern std::function<void(uint16_t, uint8_t)> OnWrite;
// Answers a read in place of RAM when it returns 0-255 (a device).
extern std::function<int(uint16_t)> OnRead;

// Clears RAM, the log and the hooks and maps every page flat.
void ResetMachine();

// Copies bytes into RAM at address.
void Poke(uint16_t address, std::initializer_list<uint8_t> bytes);

// A record ready to run at pc with the given registers.
Cpu6502State MakeCpu(uint16_t pc, uint8_t p = FlagR, uint8_t s = 0xFD);

// Runs one instruction (plus any interrupt entry it leads to) and returns
// the cycles charged.
int Step(Cpu6502State &cpu);

} // namespace Cindrel::Test
