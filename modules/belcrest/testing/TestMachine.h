// A stand-in machine for the Z80 core: 64 KB of RAM in eight separately
// allocated 8 KB pages, recorded port traffic, and a line step and trap
// that each test can replace.
#pragma once

#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/cpu/Z80Cpu.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Belcrest::Test {

struct TestMachine {
    std::array<std::unique_ptr<uint8_t[]>, 8> pages;
    std::vector<std::pair<uint16_t, uint8_t>> portWrites;
    std::vector<uint16_t> portReads;
    std::map<uint8_t, uint8_t> portValues; // what a port read returns (else 0xFF)
    std::function<uint16_t(Z80State &)> lineHook;
    std::function<void(Z80State &)> trap;
    int lineHookCalls = 0;
    int32_t cyclesLeftAtHook = 0; // cyclesLeft as the last slice ended
    uint16_t nextVector = Z80VectorNone;

    uint8_t &at(uint16_t a) { return pages[a >> 13][a & 0x1FFF]; }
    void load(uint16_t a, const std::vector<uint8_t> &bytes);
};

extern TestMachine Machine;

// Fresh RAM (zero) and default behaviour: every line step ends the frame and
// returns nextVector; the trap does nothing.
void ResetMachine();

// A CPU after reset with a slice length of linePeriod.
Z80State FreshCpu(int32_t linePeriod = 228);

// Runs exactly one instruction (a one-cycle slice) and returns the cycles it
// cost. Interrupts returned by the line step are taken afterwards.
int Step(Z80State &cpu);

// Runs from the current PC until the trap opcode ED FE; returns the cycles
// used before the trap. Slices are `slice` cycles long.
long RunToTrap(Z80State &cpu, int32_t slice = 1000000);

// A tiny assembler: bytes with labels for relative jumps.
class Program {
public:
    explicit Program(uint16_t origin) : origin_(origin) {}
    Program &operator()(std::initializer_list<int> bytes);
    Program &label(const std::string &name);
    // Emits opcode and a relative displacement to the label (backward or
    // forward; forward ones are patched by bytes()).
    Program &jr(int opcode, const std::string &name);
    uint16_t address() const { return uint16_t(origin_ + code_.size()); }
    std::vector<uint8_t> bytes() const;
    void loadInto(TestMachine &m) const { m.load(origin_, bytes()); }

private:
    uint16_t origin_;
    std::vector<uint8_t> code_;
    std::map<std::string, uint16_t> labels_;
    std::vector<std::pair<size_t, std::string>> fixups_;
};

// The start the instruction tests share: a fresh machine and a CPU after
// reset, about to run code loaded at 0x0100 with its stack at 0x8000.
class Z80CpuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMachine();
        cpu = FreshCpu();
        cpu.PC.w = 0x0100;
        cpu.SP.w = 0x8000;
    }

    void Load(std::initializer_list<int> code) { Program(0x0100)(code).loadInto(Machine); }

    Z80State cpu;
};

} // namespace Belcrest::Test
