// A started machine without a BIOS image, on which BIOS calls are made
// directly or through SWI instructions placed in internal work RAM.
#pragma once

#include "modules/tavrin/bios/BiosCall.h"
#include "modules/tavrin/cpu/ArmRun.h"
#include "modules/tavrin/testing/MachineFixture.h"

#include <vector>

namespace Tavrin::Test {

class BiosTest : public MachineTest {
protected:
    static constexpr uint32_t Code = 0x03000000;
    static constexpr uint32_t Ewram = 0x02000000;

    void Call(uint32_t number, std::vector<uint32_t> args = {})
    {
        for (size_t i = 0; i < args.size(); ++i)
            cpu.r[i] = args[i];
        cpu.r[15] = 0x08000004;
        BiosCall(&cpu, number);
    }
    // Executes one SWI instruction from internal work RAM.
    void ArmSwi(uint32_t comment)
    {
        BusWrite32(Code, 0xEF000000 | comment);
        cpu.cpsr &= ~FlagT;
        cpu.r[15] = Code;
        Step();
    }
    void ThumbSwi(uint32_t number)
    {
        BusWrite16(Code, 0xDF00 | number);
        cpu.cpsr |= FlagT;
        cpu.r[15] = Code;
        Step();
    }
    void Step()
    {
        cpu.cyclesLeft = 1000;
        ArmStepInstruction(&cpu);
        if (cpu.earlyExit) {
            cpu.cyclesLeft += cpu.savedCycles;
            cpu.earlyExit = 0;
        }
    }
    void Put(uint32_t address, const std::vector<uint8_t> &bytes)
    {
        for (size_t i = 0; i < bytes.size(); ++i)
            BusWrite8(address + uint32_t(i), bytes[i]);
    }
    std::vector<uint8_t> Get(uint32_t address, size_t n)
    {
        std::vector<uint8_t> bytes(n);
        for (size_t i = 0; i < n; ++i)
            bytes[i] = uint8_t(BusRead8(address + uint32_t(i)));
        return bytes;
    }
};

} // namespace Tavrin::Test
