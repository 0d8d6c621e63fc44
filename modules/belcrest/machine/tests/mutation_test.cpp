// Seeded mutation runs over the readers of outside data: state files,
// battery files and images (plain and zipped). Every mutant is refused
// cleanly or accepted with values the machine can run on; the sanitizer
// builds run the same cases.
#include "common/zorvan/ByteStream.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/belcrest/testing/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "tools/testsupport/TestZip.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace Belcrest::Test {
namespace {

constexpr int Mutants = 10000;

// Flips, overwrites, cuts or extends: mostly near the front, where the
// fields that are checked live.
std::vector<uint8_t> Mutate(std::vector<uint8_t> bytes, std::mt19937 &random, size_t hotSize)
{
    switch (random() % 6) {
    case 0:
        bytes.resize(random() % (bytes.size() + 1));
        return bytes;
    case 1:
        bytes.resize(bytes.size() + 1 + random() % 64, uint8_t(random()));
        return bytes;
    default: {
        const int edits = 1 + int(random() % 8);
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            const size_t span = (random() % 4) ? std::min(hotSize, bytes.size()) : bytes.size();
            const size_t at = random() % span;
            bytes[at] = (random() % 2) ? uint8_t(bytes[at] ^ (1u << (random() % 8))) : uint8_t(random());
        }
        return bytes;
    }
    }
}

struct Guarded {
    std::vector<uint8_t> ram, vdp, regs, cpu;
    bool operator==(const Guarded &) const = default;
};

Guarded Capture()
{
    Zorvan::ByteWriter cpu;
    Z80WriteImage(MachineCpu, cpu);
    return {std::vector<uint8_t>(CpuSpace.get(), CpuSpace.get() + CpuSpaceSize),
            std::vector<uint8_t>(VdpMemory, VdpMemory + sizeof VdpMemory),
            std::vector<uint8_t>(VdpRegisters, VdpRegisters + 16), cpu.bytes()};
}

class MutationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetStandIns();
        random.seed(20261210);
    }
    void TearDown() override { MachineShutdown(); }
    TempFolder folder{true}; // thousands of files: kept in memory where possible
    std::mt19937 random;
};

TEST_F(MutationTest, StateFiles)
{
    ASSERT_TRUE(StartWithImage(folder, MakeImage(8)));
    for (int f = 0; f < 3; ++f)
        MachineRunFrame();
    const auto validPath = folder / "valid.sta", path = folder / "mutant.sta";
    ASSERT_TRUE(SaveStateFile(validPath.string()));
    const std::vector<uint8_t> valid = ReadFile(validPath);
    ASSERT_TRUE(LoadStateFile(validPath.string()));
    const Guarded before = Capture();
    int accepted = 0;
    for (int n = 0; n < Mutants; ++n) {
        WriteFile(path, Mutate(valid, random, 1128));
        if (!LoadStateFile(path.string())) {
            ASSERT_TRUE(Capture() == before) << "refused mutant " << n << " changed the game";
            continue;
        }
        ++accepted;
        ASSERT_LE(VdpMode, VdpMode4);
        ASSERT_LT(VdpAddress, VramSize);
        ASSERT_LE(CartRamPagesUsed, 2);
        ASSERT_TRUE(MachineCpu.pendingInterrupt == 0x00FF || MachineCpu.pendingInterrupt == 0xFFFF);
        if (n % 10 == 0) {
            ASSERT_TRUE(MachineRunFrame()) << "mutant " << n;
        }
        ASSERT_TRUE(LoadStateFile(validPath.string()));
    }
    EXPECT_GT(accepted, 0) << "mutants in RAM and VRAM load";
}

TEST_F(MutationTest, BatteryFiles)
{
    const auto image = folder / "game.sms", battery = folder / "game.save";
    WriteFile(image, MakeImage(2));
    const size_t sizes[] = {0, 1, 0x3FFF, 0x4000, 0x4001, 0x7FFF, 0x8000, 0x8001, 0x10000};
    for (int n = 0; n < Mutants; ++n) {
        const size_t size = (random() % 4) ? sizes[random() % std::size(sizes)] : random() % 0x9000;
        std::vector<uint8_t> bytes(size);
        for (uint8_t &b : bytes)
            b = uint8_t(random());
        WriteFile(battery, bytes);
        ResetStandIns();
        BatteryFileName = battery.string();
        MachineWord = MachineMasterSystem;
        ASSERT_TRUE(MachineStart(image.string()));
        const bool usable = size == 0x4000 || size == 0x8000;
        ASSERT_EQ(CartRamPagesUsed, usable ? size / 0x4000 : 0) << "size " << size;
        if (usable) {
            ASSERT_EQ(std::memcmp(CpuSpace.get() + 0x4000, bytes.data(), size), 0);
        }
        // The game never touches its RAM: whatever the file holds stays.
        ASSERT_TRUE(MachineShutdown());
        ASSERT_EQ(ReadFile(battery), bytes) << "size " << size;
    }
}

TEST_F(MutationTest, Images)
{
    const std::vector<uint8_t> valid = MakeImage(3);
    for (int n = 0; n < Mutants; ++n) {
        std::vector<uint8_t> image = Mutate(valid, random, valid.size());
        if (random() % 3 == 0)
            image.resize(random() % 0x12000);
        const char *message = nullptr;
        const int loaded = LoadRomPages(image, message);
        ASSERT_EQ(loaded != 0, RomPageCount > 0);
        ASSERT_LE(RomPageCount, MaxRomPages);
        if (!loaded) {
            ASSERT_STREQ(message, "CORRUPTED FILE");
        }
        for (unsigned p = 0; p < MaxRomPages; ++p)
            ASSERT_EQ(RomPages[p] != nullptr, p < RomPageCount);
    }
    for (auto &page : RomPages)
        page.reset();
    RomPageCount = 0;
}

TEST_F(MutationTest, ZippedImages)
{
    const auto good = folder / "good.zip", path = folder / "mutant.zip";
    const std::vector<uint8_t> image = MakeImage(2);
    WriteZip(good, {{"readme.txt", "text"}, {"game.sms", std::string(image.begin(), image.end())}});
    const std::vector<uint8_t> valid = ReadFile(good);
    int loaded = 0;
    for (int n = 0; n < Mutants / 10; ++n) {
        WriteFile(path, Mutate(valid, random, valid.size()));
        MachineWord = MachineMasterSystem;
        loaded += MachineStart(path.string());
        MachineShutdown();
    }
    EXPECT_GT(loaded, 0);
}

} // namespace
} // namespace Belcrest::Test
