#include "modules/cindrel/testing/TestMachine.h"

#include <cstring>

namespace Cindrel {

uint8_t *FetchMap[8];
bool FrameDone;

namespace Test {

uint8_t Ram[0x10000];
std::vector<Access> Accesses;
bool LogAccesses;
int HookCalls;
std::function<int(Cpu6502State &)> OnLineHook;
int HookCode;
std::function<void(uint16_t, uint8_t)> OnWrite;
std::function<int(uint16_t)> OnRead;

void ResetMachine()
{
    std::memset(Ram, 0, sizeof Ram);
    for (int i = 0; i < 8; ++i)
        FetchMap[i] = Ram + i * 0x2000;
    Accesses.clear();
    LogAccesses = false;
    HookCalls = 0;
    OnLineHook = nullptr;
    HookCode = IntNone;
    OnWrite = nullptr;
    OnRead = nullptr;
    FrameDone = false;
}

void Poke(uint16_t address, std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes)
        Ram[address++] = b;
}

Cpu6502State MakeCpu(uint16_t pc, uint8_t p, uint8_t s)
{
    Cpu6502State cpu;
    cpu.PC = pc;
    cpu.P = p;
    cpu.S = s;
    cpu.linePeriod = 0;
    cpu.cyclesLeft = 1;
    return cpu;
}

int Step(Cpu6502State &cpu)
{
    cpu.linePeriod = 0;
    cpu.cyclesLeft = 1;
    Cpu6502RunFrame(cpu);
    return 1 - cpu.cyclesLeft;
}

} // namespace Test

uint8_t ReadMemory(uint16_t address)
{
    const int device = Test::OnRead ? Test::OnRead(address) : -1;
    uint8_t v = device >= 0 ? uint8_t(device) : Test::Ram[address];
    if (Test::LogAccesses)
        Test::Accesses.push_back({address, v, false});
    return v;
}

void WriteMemory(uint16_t address, uint8_t value)
{
    Test::Ram[address] = value;
    if (Test::LogAccesses)
        Test::Accesses.push_back({address, value, true});
    if (Test::OnWrite)
        Test::OnWrite(address, value);
}

int LineHook(Cpu6502State &cpu)
{
    ++Test::HookCalls;
    if (Test::OnLineHook)
        return Test::OnLineHook(cpu);
    FrameDone = true;
    return Test::HookCode;
}

} // namespace Cindrel
