// A console memory map over plain host buffers, with the CPU in the state the
// machine gives it when it starts without a BIOS image. One per test.
#pragma once

#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmRun.h"
#include "modules/tavrin/bus/MemoryMap.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "modules/tavrin/testing/StandIns.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace Tavrin::Test {

class TestMachine {
public:
    explicit TestMachine(uint32_t cartSize = 0x4000)
        : bios(BiosSize), ewram(EwramSize), iwram(IwramSize), io(IoSize), palette(PaletteSize),
          vram(VramSize), oam(OamSize), save(SaveBankSize), cart(cartSize)
    {
        for (uint32_t i = 0; i < BiosSize; i += 4)
            std::memcpy(&bios[i], &BiosOpenBusWord, 4);
        Map();
        ResetWaitCycles();
        SetStandInLineHook(nullptr);
        SetStandInBiosCall(nullptr);
        StandInLog = {};
        LogFlags = 0;
        ResetCpu();
    }
    ~TestMachine()
    {
        ConsoleBlocks none;
        MapConsoleMemory(none);
    }

    void LoadCart(const std::vector<uint8_t> &image)
    {
        cart.assign((image.size() + PageSize - 1) & ~(PageSize - 1), 0);
        std::memcpy(cart.data(), image.data(), image.size());
        Map();
    }

    // Post-BIOS start: system mode, stacks set, PC at the cartridge.
    void ResetCpu(uint32_t pc = 0x08000000)
    {
        ConsoleCpu = ArmState{};
        ConsoleCpu.sliceLength = 960;
        ArmReset(&ConsoleCpu, 0);
        ConsoleCpu.cpsr = 0x1F;
        ConsoleCpu.r13Svc = 0x03007FE0;
        ConsoleCpu.r13Irq = 0x03007FA0;
        ConsoleCpu.r[13] = 0x03007F00;
        ConsoleCpu.r[14] = pc;
        ConsoleCpu.r[15] = pc;
    }

    // Puts words or halfwords at an emulated address through the read map.
    void Poke32(uint32_t address, uint32_t v) { std::memcpy(Host(address), &v, 4); }
    void Poke16(uint32_t address, uint16_t v) { std::memcpy(Host(address), &v, 2); }
    uint32_t Peek32(uint32_t address) const { return HostWord(Host(address)); }
    uint8_t *Host(uint32_t address) const { return ReadPageTable[address >> PageShift] + (address & (PageSize - 1)); }

    // Code goes into the cartridge image directly: the bus ignores stores there.
    void LoadArm(uint32_t address, const std::vector<uint32_t> &words)
    {
        for (size_t i = 0; i < words.size(); ++i)
            Poke32(address + uint32_t(4 * i), words[i]);
    }
    void LoadThumb(uint32_t address, const std::vector<uint16_t> &halves)
    {
        for (size_t i = 0; i < halves.size(); ++i)
            Poke16(address + uint32_t(2 * i), halves[i]);
    }

    // Executes one instruction and returns the cycles it took; an early exit
    // is folded back as the run loop would at the end of the slice.
    int32_t Step()
    {
        constexpr int32_t Budget = 1 << 30;
        ConsoleCpu.cyclesLeft = Budget;
        ArmStepInstruction(&ConsoleCpu);
        if (ConsoleCpu.earlyExit) {
            ConsoleCpu.cyclesLeft += ConsoleCpu.savedCycles;
            ConsoleCpu.earlyExit = 0;
        }
        return Budget - ConsoleCpu.cyclesLeft;
    }

    // Steps until r15 reaches done; returns the cycles used, or -1 when
    // maxSteps ran out first.
    int64_t RunUntil(uint32_t done, int64_t maxSteps = 10000000)
    {
        int64_t cycles = 0;
        for (int64_t n = 0; n < maxSteps; ++n) {
            if (ConsoleCpu.r[15] == done)
                return cycles;
            cycles += Step();
        }
        return -1;
    }

    // Runs one ARM opcode placed at address (in the cartridge by default).
    int32_t ExecArm(uint32_t op, uint32_t address = 0x08000100)
    {
        Poke32(address, op);
        ConsoleCpu.cpsr &= ~FlagT;
        ConsoleCpu.r[15] = address;
        return Step();
    }
    int32_t ExecThumb(uint16_t op, uint32_t address = 0x08000100)
    {
        Poke16(address, op);
        ConsoleCpu.cpsr |= FlagT;
        ConsoleCpu.r[15] = address;
        return Step();
    }

    std::vector<uint8_t> bios, ewram, iwram, io, palette, vram, oam, save, cart;

private:
    void Map()
    {
        ConsoleBlocks b;
        b.bios = bios.data();
        b.ewram = ewram.data();
        b.iwram = iwram.data();
        b.io = io.data();
        b.palette = palette.data();
        b.vram = vram.data();
        b.oam = oam.data();
        b.saveRam = save.data();
        b.cart = cart.data();
        b.cartSize = uint32_t(cart.size());
        MapConsoleMemory(b);
    }
};

} // namespace Tavrin::Test
