// The page tables, mirrors, wait states and bus functions.
#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/cpu/ArmMemory.h"
#include "modules/tavrin/testing/ArmAsm.h"
#include "modules/tavrin/testing/TestMachine.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace Tavrin::Test {
namespace {

class MemoryBus : public ::testing::Test {
protected:
    TestMachine m;
    ArmState &cpu = ConsoleCpu;
    void SetUp() override { cpu.r[15] = 0x08000100; }
};

// Each region repeats its block through the region: a store at one address
// is read back at the other, both ways, by the bus and by the CPU's loads.
TEST_F(MemoryBus, MirrorsAndUnmappedPages)
{
    const struct {
        uint32_t written, read;
    } mirrors[] = {
        {0x02000010, 0x02040010}, {0x02000010, 0x02FC0010}, // 256 KB
        {0x03000020, 0x03008020}, {0x03000020, 0x03FF8020}, // 32 KB
        {0x05000010, 0x05000410}, {0x05000010, 0x05FFFC10}, {0x050003FC, 0x050007FC}, // palette: 1 KB
        {0x07000010, 0x07000410}, {0x07000010, 0x07FFFC10}, {0x070003FC, 0x07003FFC}, // OAM: 1 KB
        {0x06000000, 0x06020000}, {0x06000000, 0x06FE0000}, // VRAM: 128 KB windows
        {0x06010000, 0x06018000}, {0x06010000, 0x06030000}, {0x06017FFC, 0x0601FFFC}, // upper 32 KB twice
    };
    uint32_t value = 0x11111111;
    for (const auto &c : mirrors) {
        for (const auto &[from, to] : {std::pair{c.written, c.read}, std::pair{c.read, c.written}}) {
            value += 0x01010101;
            BusWrite32(from, value);
            EXPECT_EQ(BusRead32(to), value) << std::hex << from << " -> " << to;
            EXPECT_EQ(CpuLoadWord(&cpu, to), value) << std::hex << from << " -> " << to;
            BusWrite16(from + 2, value & 0xFFFF);
            EXPECT_EQ(CpuLoadHalf(&cpu, to + 2), value & 0xFFFF) << std::hex << from << " -> " << to;
        }
    }
    // VRAM's 96 KB are distinct: the first 64 KB do not reach the last 32.
    BusWrite16(0x06000000, 0x4444);
    BusWrite16(0x06010000, 0x5555);
    EXPECT_EQ(BusRead16(0x06000000), 0x4444u);
    // Every page is mapped: unmapped ones read the open bus and store into
    // the dummy page, as stores to read-only pages do.
    for (uint32_t page = 0; page < PageCount; page += 997) {
        ASSERT_NE(ReadPageTable[page], nullptr);
        ASSERT_NE(WritePageTable[page], nullptr);
    }
    EXPECT_EQ(ReadPageTable[0x01000000 >> PageShift], OpenBusPage);
    EXPECT_EQ(WritePageTable[0x01000000 >> PageShift], DummyPage);
    EXPECT_EQ(WritePageTable[0x08000000 >> PageShift], DummyPage);
    EXPECT_EQ(ReadPageTable[0xF0000000 >> PageShift], OpenBusPage);
    BusWrite32(0x08000000, 0xDEADBEEF);
    EXPECT_EQ(m.Peek32(0x08000000), 0u);
}

TEST_F(MemoryBus, ByteStoresByRegion)
{
    BusWrite8(0x05000001, 0x12); // palette and VRAM double the byte
    EXPECT_EQ(BusRead16(0x05000000), 0x1212u);
    BusWrite8(0x06000004, 0x34);
    EXPECT_EQ(BusRead16(0x06000004), 0x3434u);
    EXPECT_EQ(BusRead16(0x05000400), 0x1212u) << "in every copy of the palette";
    // OAM and the sprite tiles ignore byte stores; the tiles start at 64 KB,
    // or at 80 KB in the bitmap modes.
    RenderDirtyFlags = 0;
    BusWrite8(0x07000000, 0x56);
    EXPECT_EQ(BusRead8(0x07000000), 0u);
    EXPECT_EQ(RenderDirtyFlags, 0);
    for (uint16_t mode : {0, 3}) {
        std::memcpy(m.io.data(), &mode, 2);
        BusWrite8(0x06010010, 0x78);
        BusWrite8(0x06014010, 0x79);
        BusWrite8(0x0601C010, 0x7A); // the upper 32 KB's mirror
        EXPECT_EQ(BusRead16(0x06010010), mode ? 0x7878u : 0u) << mode;
        EXPECT_EQ(BusRead16(0x06014010), 0u) << mode;
        BusWrite16(0x06010010, 0);
    }
    std::memset(m.io.data(), 0, 2);
    BusWrite16(0x07000010, 1);
    BusWrite32(0x07000020, 1);
    EXPECT_EQ(RenderDirtyFlags, 4);

    // I/O bytes merge with their neighbour into one register write.
    m.io[0x51] = 0xAB;
    BusWrite8(0x04000050, 0xCD);
    EXPECT_EQ(StandInLog.lastIoAddress, 0x04000050u);
    EXPECT_EQ(StandInLog.lastIoValue, 0xABCDu);
    m.io[0x52] = 0x01;
    BusWrite8(0x04000053, 0xEF);
    EXPECT_EQ(StandInLog.lastIoAddress, 0x04000052u);
    EXPECT_EQ(StandInLog.lastIoValue, 0xEF01u);
    const uint32_t writes = StandInLog.ioWrites;
    BusWrite8(0x04001000, 1); // above the registers: ignored
    EXPECT_EQ(StandInLog.ioWrites, writes);
    // A word store to I/O is two halfword register writes, low half first.
    BusWrite32(0x04000002, 0x87654321);
    EXPECT_EQ(StandInLog.ioWrites, writes + 2);
    EXPECT_EQ(StandInLog.lastIoAddress, 0x04000002u);
    EXPECT_EQ(StandInLog.lastIoValue, 0x8765u);
    EXPECT_EQ(BusRead16(0x04000000), 0x4321u);

    BusWrite8(0x08000000, 0x99); // cartridge: ignored
    EXPECT_EQ(BusRead8(0x08000000), 0u);
}

// Every store into VRAM tells the renderer which 2 KB part it reached (the
// upper 32 KB's mirror folded onto them), and every store into palette RAM
// that the palette changed, whether the bus or the CPU's own store paths
// make it, in either instruction set; other stores tell it nothing.
TEST_F(MemoryBus, StoresTellTheRendererWhatTheyReached)
{
    using namespace Asm;
    struct Form {
        const char *name;
        bool byte;
        std::function<void(uint32_t address)> store;
    };
    const Form forms[] = {
        {"bus word", false, [](uint32_t a) { BusWrite32(a, 0x12345678); }},
        {"bus halfword", false, [](uint32_t a) { BusWrite16(a, 0x1234); }},
        {"bus byte", true, [](uint32_t a) { BusWrite8(a, 0x12); }},
        {"THUMB STR", false, [&](uint32_t a) { cpu.r[1] = a; m.ExecThumb(0x6008); }},
        {"THUMB STR by register", false, [&](uint32_t a) { cpu.r[1] = a; cpu.r[2] = 0; m.ExecThumb(0x5088); }},
        {"THUMB STRH", false, [&](uint32_t a) { cpu.r[1] = a; m.ExecThumb(0x8008); }},
        {"THUMB STRB", true, [&](uint32_t a) { cpu.r[1] = a; m.ExecThumb(0x7008); }},
        {"THUMB STMIA", false, [&](uint32_t a) { cpu.r[1] = a; m.ExecThumb(0xC101); }},
        {"THUMB PUSH", false, [&](uint32_t a) { cpu.r[13] = a + 4; m.ExecThumb(T::Push(0x01, false)); }},
        {"ARM STR", false, [&](uint32_t a) { cpu.r[1] = a; m.ExecArm(Mem(false, false, true, true, false, 0, 1, 0)); }},
        {"ARM STRH", false, [&](uint32_t a) { cpu.r[1] = a; m.ExecArm(MemHalf(false, 1, true, true, false, 0, 1, 0)); }},
        {"ARM STRB", true, [&](uint32_t a) { cpu.r[1] = a; m.ExecArm(Mem(false, true, true, true, false, 0, 1, 0)); }},
        {"ARM STM", false, [&](uint32_t a) { cpu.r[1] = a; m.ExecArm(Block(false, false, true, false, 1, List({0}))); }},
    };
    const struct {
        uint32_t address;
        int part;  // -1: none
        bool palette;
        bool byteIgnored;
    } places[] = {
        {0x06000000, 0, false, false},
        {0x06004802, 9, false, false},
        {0x06027FFC, 15, false, false},  // a mirror of the first 128 KB
        {0x06018000, 32, false, true},   // the upper 32 KB's mirror: sprite tiles
        {0x0601C010, 40, false, true},
        {0x05000010, -1, true, false},
        {0x03000100, -1, false, false},
        {0x07000010, -1, false, true},
    };
    for (const Form &f : forms) {
        for (const auto &p : places) {
            VramPartsStored = 0;
            RenderDirtyFlags = 0;
            cpu.r[0] = 0x11223344;
            f.store(p.address);
            const bool stored = !(f.byte && p.byteIgnored);
            EXPECT_EQ(VramPartsStored, stored && p.part >= 0 ? uint64_t(1) << p.part : 0)
                << f.name << " " << std::hex << p.address;
            EXPECT_EQ((RenderDirtyFlags & DirtyPalette) != 0, p.palette) << f.name << " " << std::hex << p.address;
        }
    }
}

TEST_F(MemoryBus, BiosReadProtection)
{
    m.bios[0x10] = 0x78;
    cpu.r[15] = 0x08000100;
    EXPECT_EQ(BusRead32(0x10), 0xFF00FF11u);
    EXPECT_EQ(BusRead16(0x10), 0xFF11u);
    EXPECT_EQ(BusRead16(0x12), 0xFF00u);
    EXPECT_EQ(BusRead8(0x11), 0xFFu);
    EXPECT_EQ(BusRead32(0x11), 0x00FF00FFu); // shifted, not rotated as the CPU's loads are
    cpu.r[15] = 0x100;
    EXPECT_EQ(BusRead8(0x10), 0x78u);
}

TEST_F(MemoryBus, MisalignedReadsShiftInZeros)
{
    const uint8_t bytes[] = {0x11, 0x22, 0x33, 0x44};
    std::memcpy(m.Host(0x03000000), bytes, 4);
    const uint32_t words[] = {0x44332211, 0x00443322, 0x00004433, 0x00000044};
    for (uint32_t offset = 0; offset < 4; ++offset)
        EXPECT_EQ(BusRead32(0x03000000 + offset), words[offset]) << offset;
    EXPECT_EQ(BusRead16(0x03000001), 0x22u);
    EXPECT_EQ(BusRead16(0x03000003), 0x44u);
}

TEST_F(MemoryBus, CartridgeDevicesAndSaveMemory)
{
    // The EEPROM answers 16-bit reads and takes 16-bit stores in region D;
    // nothing is stored where those pages point. Regions 9 and F are the
    // image and save memory like their neighbours.
    EXPECT_EQ(BusRead16(0x0D000000), 1u);
    EXPECT_EQ(BusRead16(0x0DFFFFFE), 1u);
    const uint32_t dummyWord = HostWord(DummyPage);
    BusWrite16(0x0D000000, 0xFFFF);
    EXPECT_EQ(HostWord(DummyPage), dummyWord);
    BusWrite16(0x09000000, 0xFFFF);
    EXPECT_EQ(StandInLog.eepromWrites, 1u);
    m.Poke16(0x08000010, 0x1234);
    EXPECT_EQ(BusRead16(0x09000010), HostHalf(m.Host(0x09000010)));
    m.save[0x10] = 0x77;
    EXPECT_EQ(BusRead16(0x0F000010), 0x7777u);

    // The clock port takes the 16 bytes from 0x080000C0, and only them.
    BusWrite16(0x080000C5, 0x1234);
    EXPECT_EQ(StandInLog.rtcWrites, 1u);
    EXPECT_EQ(StandInLog.lastRtcAddress, 0x080000C4u);
    BusWrite16(0x080000D0, 0x1234);
    EXPECT_EQ(StandInLog.rtcWrites, 1u);

    // Byte stores to save memory go to the flash chip, which stores them.
    BusWrite8(0x0E005555, 0xAA);
    EXPECT_EQ(StandInLog.flashWrites, 1u);
    EXPECT_EQ(StandInLog.lastFlashAddress, 0x5555u);
    EXPECT_EQ(m.save[0x5555], 0);
}

// The save memory has an 8-bit data bus: wider loads see the addressed
// byte on every lane, wider stores hand the chip the byte of the value on
// the addressed lane (the halfword rides on both halves of the bus).
TEST_F(MemoryBus, SaveMemoryIsEightBitsWide)
{
    const uint8_t bytes[] = {0x11, 0x22, 0x33, 0x44, 0x91};
    std::memcpy(&m.save[0x20], bytes, sizeof bytes);
    const struct {
        uint32_t address;
        int width;
        uint32_t bus, cpu; // BusRead, and the CPU's load with its rotation
    } loads[] = {
        {0x0E000020, 16, 0x1111, 0x1111},
        {0x0E000021, 16, 0x2222, 0x22000022},
        {0x0E000022, 32, 0x33333333, 0x33333333},
        {0x0E000023, 32, 0x44444444, 0x44444444},
        {0x0F000021, 16, 0x2222, 0x22000022},
        {0x0E010020, 32, 0x11111111, 0x11111111},
    };
    for (const auto &c : loads) {
        if (c.width == 16) {
            EXPECT_EQ(BusRead16(c.address), c.bus) << std::hex << c.address;
            EXPECT_EQ(CpuLoadHalf(&cpu, c.address), c.cpu) << std::hex << c.address;
        } else {
            EXPECT_EQ(BusRead32(c.address), c.bus) << std::hex << c.address;
            EXPECT_EQ(CpuLoadWord(&cpu, c.address), c.cpu) << std::hex << c.address;
        }
    }
    EXPECT_EQ(CpuLoadSignedHalf(&cpu, 0x0E000024), 0xFFFF9191u);
    EXPECT_EQ(CpuLoadByte(&cpu, 0x0E000022), 0x33u);

    const struct {
        uint32_t address;
        int width;
        uint32_t value;
        uint32_t chipAddress, chipByte; // what reaches the chip
    } stores[] = {
        {0x0E001000, 16, 0xBBAA, 0x1000, 0xAA},
        {0x0E001001, 16, 0xBBAA, 0x1001, 0xBB},
        {0x0E001002, 16, 0xBBAA, 0x1002, 0xAA},
        {0x0E001000, 32, 0xDDCCBBAA, 0x1000, 0xAA},
        {0x0E001001, 32, 0xDDCCBBAA, 0x1001, 0xBB},
        {0x0E001002, 32, 0xDDCCBBAA, 0x1002, 0xCC},
        {0x0E001003, 32, 0xDDCCBBAA, 0x1003, 0xDD},
        {0x0E015555, 32, 0x000000AA, 0x5555, 0x00},
    };
    for (const auto &c : stores) {
        const uint32_t before = StandInLog.flashWrites;
        if (c.width == 16)
            CpuStore<2>(c.address, c.value);
        else
            CpuStore<4>(c.address, c.value);
        EXPECT_EQ(StandInLog.flashWrites, before + 1) << std::hex << c.address;
        EXPECT_EQ(StandInLog.lastFlashAddress, c.chipAddress) << std::hex << c.address;
        EXPECT_EQ(StandInLog.lastFlashByte, c.chipByte) << std::hex << c.address;
    }
    // Region F takes no stores of any width, as it takes no byte stores.
    const uint32_t before = StandInLog.flashWrites;
    BusWrite32(0x0F001000, 0x12345678);
    BusWrite16(0x0F001000, 0x1234);
    EXPECT_EQ(StandInLog.flashWrites, before);
    EXPECT_EQ(m.save[0x1000], 0);
}

TEST_F(MemoryBus, UnalignedTraceLines)
{
    struct Case {
        std::function<void()> access;
        const char *line;
    } cases[] = {
        {[] { BusRead32(0x13000001); }, "MEM: Unaligned qread [03000001] (PC=08000100)\n"},
        {[] { BusRead16(0x03000003); }, "MEM: Unaligned wread [03000003] (PC=08000100)\n"},
        {[] { BusWrite32(0x23000002, 0x12345678); },
         "MEM: Unaligned qwrite [03000002] = 12345678 (PC=08000100)\n"},
        {[] { BusWrite16(0x03000001, 0xABCDEF); }, "MEM: Unaligned wwrite [03000001] = CDEF (PC=08000100)\n"},
        {[] { BusRead32(0x03000004); }, ""},
        {[] { BusWrite8(0x03000001, 1); }, ""},
    };
    for (const Case &c : cases) {
        for (uint32_t flags : {0u, 4u}) {
            LogFlags = flags;
            ::testing::internal::CaptureStdout();
            c.access();
            EXPECT_EQ(::testing::internal::GetCapturedStdout(), flags ? c.line : "") << c.line;
        }
    }
    LogFlags = 0;
}

TEST_F(MemoryBus, WaitStatesAndCharges)
{
    SetWaitStates(0);
    const int32_t expected16[] = {3, 3, 5, 5, 9, 9, 5};
    for (int k = 8; k <= 14; ++k) {
        EXPECT_EQ(WaitCycles16[k], expected16[k - 8]);
        EXPECT_EQ(WaitCycles32[k], 2 * expected16[k - 8]);
    }
    SetWaitStates(0x0497); // bits 4, 7, 10 and SRAM 3
    EXPECT_EQ(WaitCycles16[8], 2);
    EXPECT_EQ(WaitCycles16[11], 2);
    EXPECT_EQ(WaitCycles16[13], 2);
    EXPECT_EQ(WaitCycles16[14], 9);
    ResetWaitCycles();

    cpu.cyclesLeft = 100;
    BusWrite32(0x02000000, 1);
    BusWrite16(0x02000000, 1);
    BusRead8(0x03000000);
    BusRead32(0x18000000); // the charge uses bits 27-24 only: region 8
    EXPECT_EQ(cpu.cyclesLeft, 100 - 6 - 3 - 1 - 4);
}

} // namespace
} // namespace Tavrin::Test
