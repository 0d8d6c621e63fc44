#include "modules/belcrest/testing/TestMachine.h"

#include <stdexcept>

namespace Belcrest {

uint8_t *Z80PageTable[8];
uint8_t FrameDone;

void WriteMemory(uint16_t address, uint8_t value) { Test::Machine.at(address) = value; }

uint8_t ReadPort(uint16_t port)
{
    Test::Machine.portReads.push_back(port);
    auto it = Test::Machine.portValues.find(uint8_t(port));
    return it == Test::Machine.portValues.end() ? 0xFF : it->second;
}

void WritePort(uint16_t port, uint8_t value) { Test::Machine.portWrites.emplace_back(port, value); }

uint16_t LineHook(Z80State &cpu)
{
    Test::Machine.lineHookCalls++;
    Test::Machine.cyclesLeftAtHook = cpu.cyclesLeft;
    if (Test::Machine.lineHook)
        return Test::Machine.lineHook(cpu);
    FrameDone = 1;
    return Test::Machine.nextVector;
}

void TrapHandler(Z80State &cpu)
{
    if (Test::Machine.trap)
        Test::Machine.trap(cpu);
}

namespace Test {

TestMachine Machine;

void TestMachine::load(uint16_t a, const std::vector<uint8_t> &bytes)
{
    for (uint8_t b : bytes)
        at(a++) = b;
}

void ResetMachine()
{
    Machine.portWrites.clear();
    Machine.portReads.clear();
    Machine.portValues.clear();
    Machine.lineHook = nullptr;
    Machine.trap = nullptr;
    Machine.lineHookCalls = 0;
    Machine.cyclesLeftAtHook = 0;
    Machine.nextVector = Z80VectorNone;
    for (int i = 0; i < 8; ++i) {
        Machine.pages[i] = std::make_unique<uint8_t[]>(0x2000);
        Z80PageTable[i] = Machine.pages[i].get();
    }
    FrameDone = 0;
}

Z80State FreshCpu(int32_t linePeriod)
{
    Z80State cpu{};
    cpu.linePeriod = linePeriod;
    Z80Reset(cpu);
    return cpu;
}

int Step(Z80State &cpu)
{
    cpu.cyclesLeft = 1;
    const int32_t period = cpu.linePeriod;
    Z80RunFrame(cpu);
    cpu.linePeriod = period;
    return 1 - Machine.cyclesLeftAtHook;
}

long RunToTrap(Z80State &cpu, int32_t slice)
{
    bool trapped = false;
    int32_t leftAtTrap = 0;
    long slices = 0;
    auto previousTrap = Machine.trap;
    Machine.trap = [&](Z80State &s) {
        trapped = true;
        leftAtTrap = s.cyclesLeft;
        s.cyclesLeft = 0; // end the slice here
    };
    Machine.lineHook = [&](Z80State &s) -> uint16_t {
        if (trapped) {
            FrameDone = 1;
            return Z80VectorNone;
        }
        if (++slices > 100000)
            throw std::runtime_error("program never reached its trap");
        s.linePeriod = slice;
        return Z80VectorNone;
    };
    cpu.linePeriod = slice;
    cpu.cyclesLeft = slice;
    Z80RunFrame(cpu);
    Machine.trap = previousTrap;
    Machine.lineHook = nullptr;
    // Cycles spent before the trap's own prefix (4) and opcode (0).
    return slices * long(slice) + (slice - leftAtTrap) - 4;
}

Program &Program::operator()(std::initializer_list<int> bytes)
{
    for (int b : bytes)
        code_.push_back(uint8_t(b));
    return *this;
}

Program &Program::label(const std::string &name)
{
    labels_[name] = address();
    return *this;
}

Program &Program::jr(int opcode, const std::string &name)
{
    code_.push_back(uint8_t(opcode));
    fixups_.emplace_back(code_.size(), name);
    code_.push_back(0);
    return *this;
}

std::vector<uint8_t> Program::bytes() const
{
    std::vector<uint8_t> out = code_;
    for (const auto &[at, name] : fixups_) {
        const int from = origin_ + int(at) + 1;
        const int d = labels_.at(name) - from;
        if (d < -128 || d > 127)
            throw std::runtime_error("relative jump out of reach: " + name);
        out[at] = uint8_t(d);
    }
    return out;
}

} // namespace Test
} // namespace Belcrest
