// Seeded mutations of state files, battery files and cartridge images, and
// random programs: the machine takes or refuses each one without reading or
// writing outside its buffers (run under the sanitizers), and a refused
// state changes nothing.
#include "modules/cindrel/machine/BatteryFile.h"
#include "modules/cindrel/machine/StateFile.h"
#include "modules/cindrel/testing/MachineFixture.h"

#include <random>

namespace Cindrel::Test {
namespace {

constexpr int Rounds = 10000;

// Files in memory-backed storage where there is some: ten thousand of
// them are written per test.
class Mutation : public MachineFixture {
protected:
    void SetUp() override
    {
        MachineFixture::SetUp();
        if (std::filesystem::is_directory("/dev/shm")) {
            std::filesystem::remove_all(folder_);
            folder_ = std::filesystem::path("/dev/shm") / folder_.filename();
            std::filesystem::create_directories(folder_);
        }
    }
};

// Changes one to four bytes, mostly where the machine checks fields, and
// now and then the length.
template <typename Bytes>
void Mutate(const Bytes &good, Bytes &f, std::mt19937 &random, size_t focusEnd)
{
    f.assign(good.begin(), good.end());
    const int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits; ++e) {
        const unsigned kind = random() % 16;
        if (kind == 0) {
            f.resize(random() % (good.size() + 64), char(random()));
        } else if (!f.empty()) {
            const size_t at = kind < 12 ? random() % std::min(focusEnd, f.size()) : random() % f.size();
            f[at] = kind % 3 == 0 ? char(f[at] ^ (1 << (random() % 8))) : char(random());
        }
    }
}

TEST_F(Mutation, StateFiles)
{
    CartridgeBuilder cart(4, 2);
    cart.Code(0xC000, {0xE6, 0x20, 0x4C, 0x00, 0xC0}).Code(0xC100, {0x40}).Vectors(0xC100, 0xC000, 0xC100);
    ASSERT_TRUE(Start(cart));
    RunFrames(2);
    FetchMap[5] = CpuSpace + 0x8000;
    ASSERT_EQ(SaveStateFile(Path("good.st")), 1);
    const std::string good = ReadFile(Path("good.st"));
    const std::vector<uint8_t> goodBytes(good.begin(), good.end());
    ASSERT_EQ(LoadStateFile(Path("good.st")), 1);
    const std::vector<uint8_t> baseline = MachineSnapshot();
    std::mt19937 random(1616);
    int accepted = 0;
    clearConsole();
    std::vector<uint8_t> f;
    f.reserve(goodBytes.size() + 64);
    for (int round = 0; round < Rounds; ++round) {
        Mutate(goodBytes, f, random, StateCpuSpaceAt);
        // Blocks past the address spaces: the sound and mapper records.
        if (random() % 4 == 0 && f.size() == good.size())
            f[StateSoundAt + random() % (StateFileSize - StateSoundAt)] = uint8_t(random());
        if (LoadStateBytes(f, "m.st") == 1) {
            ++accepted;
            clearConsole();
            RunFrames(1);
            ASSERT_EQ(LoadStateBytes(goodBytes, "good.st"), 1);
        }
        ASSERT_TRUE(MachineSnapshot() == baseline) << "round " << round;
    }
    std::printf("state mutations accepted: %d of %d\n", accepted, Rounds);
}

TEST_F(Mutation, BatteryFiles)
{
    std::mt19937 random(1617);
    ASSERT_TRUE(Start(IdleCartridge().Battery().RamPages(3), "g.nes", Path("g.sav")));
    const size_t ram = 3 * 0x2000;
    std::string bytes;
    for (int round = 0; round < Rounds; ++round) {
        bytes.resize(random() % (ram * 2));
        for (char &c : bytes)
            c = char(random());
        WriteFile(Path("g.sav"), bytes);
        std::memset(CpuSpace + 0x6000, 0, 0x8000);
        clearConsole();
        const bool whole = bytes.size() == ram || bytes.size() == ram + 16;
        ASSERT_EQ(LoadBatteryFile(Path("g.sav")), whole) << round;
        const size_t skipped = bytes.size() == ram + 16 ? 16 : 0;
        const size_t loaded = whole ? ram : 0;
        ASSERT_EQ(std::memcmp(CpuSpace + 0x6000, bytes.data() + skipped, loaded), 0) << round;
        ASSERT_EQ(CpuSpace[0x6000 + ram], 0) << round;
        // Whatever it held, the file stays as it was.
        ASSERT_EQ(ReadFile(Path("g.sav")), bytes) << round;
    }
}

// Mutated images, mostly in the header: each is refused or starts and runs
// its frame. The header is checked, so many are refused; most edits of a
// field leave a board the machine knows, so many start.
TEST_F(Mutation, CartridgeImages)
{
    std::mt19937 random(1618);
    const std::string good = IdleCartridge(2, 1).Trainer({}).Text();
    std::string image;
    int started = 0;
    for (int round = 0; round < Rounds; ++round) {
        Mutate(good, image, random, 16);
        WriteFile(Path("m.nes"), image);
        if (StartImage(Path("m.nes"))) {
            ++started;
            ASSERT_EQ(RunFrames(1), 1) << round;
        }
    }
    MachineShutdown();
    std::printf("image mutations started: %d of %d\n", started, Rounds);
    EXPECT_GT(started, Rounds / 10);
    EXPECT_LT(started, Rounds - Rounds / 10);
}

// Any bytes as a program, on a few boards: every access stays inside the
// machine's buffers (the sanitizers watch), every frame ends, a halted CPU
// is reported once, and a reset brings it back.
TEST_F(Mutation, RandomPrograms)
{
    std::mt19937 random(2718);
    const int mappers[] = {0, 1, 2, 4, 7};
    int halts = 0;
    for (int round = 0; round < 300; ++round) {
        CartridgeBuilder cart(2, 1);
        cart.Mapper(mappers[round % 5]);
        for (uint8_t &b : cart.Rom())
            b = uint8_t(random());
        ASSERT_TRUE(Start(cart, "random.nes")) << round;
        Cpu.trapUnknownOpcodes = 1;
        testing::internal::CaptureStdout();
        EXPECT_EQ(RunFrames(10), 10) << round;
        std::fflush(stdout);
        const std::string out = testing::internal::GetCapturedStdout();
        size_t reports = 0;
        for (size_t at = out.find("Unrecognized"); at != std::string::npos; at = out.find("Unrecognized", at + 1))
            ++reports;
        EXPECT_EQ(reports, Cpu.halted ? 1u : 0u) << round << ":\n" << out;
        if (!Cpu.halted)
            continue;
        ++halts;
        MachineReset();
        EXPECT_EQ(Cpu.halted, 0) << round;
        EXPECT_EQ(RunFrames(2), 2) << round;
    }
    std::printf("random programs halted: %d of 300\n", halts);
    EXPECT_GT(halts, 30) << "random bytes halt the CPU now and then";
}

} // namespace
} // namespace Cindrel::Test
