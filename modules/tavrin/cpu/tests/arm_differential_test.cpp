// Every slot of the opcode table against the reference decoder, on random
// opcodes, registers, modes and memory: the two must leave the same CPU
// record, the same memory, the same cycle count and the same calls out.
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmOpcodeTable.h"
#include "modules/tavrin/cpu/ArmRun.h"
#include "modules/tavrin/testing/StandIns.h"
#include "modules/tavrin/testing/ArmReference.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <sstream>
#include <vector>

namespace Tavrin::Test {
namespace {

// One 16 KB block per region, mirrored over the region, so the whole
// writable memory is small enough to snapshot for every trial.
class CompactMachine {
public:
    CompactMachine()
    {
        std::mt19937 fill(7);
        for (auto &block : blocks)
            for (auto &b : block)
                b = uint8_t(fill());
        BusClearMap();
        MapPages(blocks[0].data(), PageSize, 0x00000000, PageSize, false);   // BIOS
        MapPages(blocks[1].data(), PageSize, 0x02000000, 0x01000000, true);  // external RAM
        MapPages(blocks[2].data(), PageSize, 0x03000000, 0x01000000, true);  // internal RAM
        MapPages(blocks[3].data(), PageSize, 0x04000000, PageSize, true);    // I/O
        MapPages(blocks[4].data(), PageSize, 0x05000000, 0x03000000, true);  // palette, VRAM, OAM
        MapPages(blocks[5].data(), PageSize, 0x08000000, PageSize, false);   // cartridge
        MapPages(blocks[6].data(), PageSize, 0x0E000000, 0x02000000, true);  // save memory
        IoPage = blocks[3].data();
        ResetWaitCycles();
        SetWaitStates(0);
        LogFlags = 0;
        SetStandInLineHook(nullptr);
        SetStandInBiosCall(nullptr);
    }
    ~CompactMachine()
    {
        BusClearMap();
        IoPage = nullptr;
    }

    // Copies the writable memory into image, reusing its storage.
    void Snapshot(std::vector<uint8_t> &image) const
    {
        image.resize(std::size(Writable) * PageSize + PageSize);
        size_t at = 0;
        for (int i : Writable) {
            std::memcpy(image.data() + at, blocks[i].data(), PageSize);
            at += PageSize;
        }
        std::memcpy(image.data() + at, DummyPage, PageSize);
    }
    void Restore(const std::vector<uint8_t> &image)
    {
        size_t at = 0;
        for (int i : Writable) {
            std::memcpy(blocks[i].data(), image.data() + at, PageSize);
            at += PageSize;
        }
        std::memcpy(DummyPage, image.data() + at, PageSize);
    }

    uint8_t *Cartridge() { return blocks[5].data(); }

private:
    static constexpr int Writable[] = {1, 2, 3, 4, 6};
    std::array<std::array<uint8_t, PageSize>, 7> blocks;
};

const uint32_t Modes[] = {0x10, 0x11, 0x12, 0x13, 0x17, 0x1B, 0x1F};

uint32_t RandomValue(std::mt19937 &rng)
{
    const uint32_t r = rng();
    switch (rng() % 10) {
    case 0: return 0x02000000 + (r & 0x3FFF);
    case 1: return 0x03000000 + (r & 0x7FFF);
    case 2: return r & 0x3FFF;                        // BIOS
    case 3: return 0x04000000 + (r & 0x3FF);          // I/O registers
    case 4: return 0x05000000 + (r & 0x02FFFFFF);     // palette to OAM
    case 5: return 0x08000000 + (r & 0x0700FFFF);     // cartridge, save memory
    case 6: return (r & 1) ? r % 70 : 0u - r % 70;    // small amounts and offsets
    case 7: return r & 1 ? 0x80000000 : 0x7FFFFFFF;
    default: return r;
    }
}

ArmState RandomState(std::mt19937 &rng)
{
    ArmState s{};
    for (int i = 0; i < 15; ++i)
        s.r[i] = RandomValue(rng);
    // Code outside the BIOS (its reads are protected) or inside it.
    s.r[15] = (rng() % 4 ? 0x08000100 : 0x00000100) + 4 * (rng() % 16) + 4;
    auto status = [&](bool thumb) {
        return (rng() & 0xF00000C0) | Modes[rng() % 7] | (thumb && (rng() & 1) ? FlagT : 0);
    };
    s.cpsr = status(false);
    uint32_t *banked[] = {&s.r13Usr, &s.r14Usr, &s.r13Svc, &s.r14Svc, &s.r13Abt, &s.r14Abt,
                          &s.r13Irq, &s.r14Irq, &s.r13Und, &s.r14Und};
    for (uint32_t *v : banked)
        *v = RandomValue(rng);
    for (uint32_t *v : {&s.spsrSvc, &s.spsrAbt, &s.spsrIrq, &s.spsrUnd, &s.spsrFiq})
        *v = status(true);
    s.sliceLength = 960;
    s.cyclesLeft = 500;
    return s;
}

std::string Describe(const ArmState &got, const ArmState &want)
{
    std::ostringstream out;
    out << std::hex;
    for (int i = 0; i < 16; ++i)
        if (got.r[i] != want.r[i])
            out << " r" << std::dec << i << std::hex << "=" << got.r[i] << " want " << want.r[i];
    if (got.cpsr != want.cpsr)
        out << " cpsr=" << got.cpsr << " want " << want.cpsr;
    if (got.cyclesLeft != want.cyclesLeft)
        out << std::dec << " cycles=" << got.cyclesLeft << " want " << want.cyclesLeft << std::hex;
    if (got.earlyExit != want.earlyExit || got.savedCycles != want.savedCycles)
        out << " early exit differs";
    if (std::memcmp(&got.r13Usr, &want.r13Usr, offsetof(ArmState, reserved132) - offsetof(ArmState, r13Usr)))
        out << " banks differ";
    return out.str();
}

TEST(ArmDifferential, EverySlotMatchesTheReferenceDecoder)
{
    CompactMachine machine;
    std::mt19937 rng(20240611);
    constexpr int TrialsPerSlot = 12;
    int failures = 0;
    std::vector<uint8_t> before, gotMemory, wantMemory;
    for (uint32_t index = 0; index < 4096 && failures < 10; ++index) {
        for (int trial = 0; trial < TrialsPerSlot && failures < 10; ++trial) {
            const uint32_t op = (rng() & 0xF00FFF0F) | (index & 0xFF) << 20 | (index >> 8) << 4;
            const ArmState start = RandomState(rng);
            machine.Snapshot(before);

            StandInLog = {};
            ConsoleCpu = start;
            ArmOpcodeTable[ArmTableIndex(op)](&ConsoleCpu, op);
            const ArmState got = ConsoleCpu;
            const StandInRecord gotLog = StandInLog;
            machine.Snapshot(gotMemory);

            machine.Restore(before);
            StandInLog = {};
            ConsoleCpu = start;
            ReferenceExecuteArm(&ConsoleCpu, op);
            const ArmState want = ConsoleCpu;

            const bool same = std::memcmp(&got, &want, sizeof got) == 0;
            machine.Snapshot(wantMemory);
            const bool sameMemory = gotMemory == wantMemory;
            const bool sameCalls = gotLog.biosCalls == StandInLog.biosCalls &&
                                   gotLog.lastComment == StandInLog.lastComment &&
                                   gotLog.ioWrites == StandInLog.ioWrites; // order may differ
            if (!same || !sameMemory || !sameCalls) {
                ++failures;
                ADD_FAILURE() << std::hex << "opcode 0x" << op << " (block " << (index >> 8) << " slot 0x"
                              << (index & 0xFF) << ") cpsr 0x" << start.cpsr << ":" << Describe(got, want)
                              << (sameMemory ? "" : " memory differs") << (sameCalls ? "" : " calls differ");
            }
        }
    }
}

// Every THUMB opcode on random states: nothing escapes the emulated memory
// (the sanitizers watch the host side), r15 stays halfword-aligned in THUMB
// state, and leaving THUMB state always cuts the slice.
TEST(ThumbFuzz, EveryOpcodeKeepsTheCpuConsistent)
{
    CompactMachine machine;
    std::mt19937 rng(99);
    const uint32_t code = 0x08000100;
    int failures = 0;
    for (uint32_t op = 0; op < 0x10000 && failures < 10; ++op) {
        for (int trial = 0; trial < 2; ++trial) {
            ConsoleCpu = RandomState(rng);
            ConsoleCpu.cpsr |= FlagT;
            ConsoleCpu.r[15] = code;
            std::memcpy(machine.Cartridge() + (code & (PageSize - 1)), &op, 2);
            ArmStepInstruction(&ConsoleCpu);
            const bool thumb = ConsoleCpu.cpsr & FlagT;
            const bool consistent = thumb ? !(ConsoleCpu.r[15] & 1)
                                          : !(ConsoleCpu.r[15] & 3) && ConsoleCpu.earlyExit;
            if (!consistent || ConsoleCpu.cyclesLeft >= 500) {
                ++failures;
                ADD_FAILURE() << std::hex << "THUMB opcode 0x" << op << " left r15 0x" << ConsoleCpu.r[15]
                              << " cpsr 0x" << ConsoleCpu.cpsr << std::dec << " cycles " << ConsoleCpu.cyclesLeft;
            }
        }
    }
}

} // namespace
} // namespace Tavrin::Test
