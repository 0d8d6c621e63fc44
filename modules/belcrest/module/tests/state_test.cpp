// Saved states through the module: a loaded state replays the same frames,
// every slot keeps its own state, a damaged slot is refused with one message
// and leaves the game running as if nothing was loaded, and a save that
// cannot be written reports false and keeps the old file.
#include "common/zorvan/SafeFile.h"
#include "modules/belcrest/testing/BelcrestSandbox.h"
#include "modules/belcrest/testing/TestImages.h"

#include <unistd.h>

namespace Belcrest::Test {
namespace {

// Counts frames at $C000 by the VDP's frame flag and shows the count as
// the colour of every pixel (background colour 0, all tiles blank), with a
// tone that follows it.
Z80Code Animation()
{
    Z80Code code;
    code.Start().OutA(0x7F, 0x90);
    uint16_t const loop = code.Here();
    uint16_t const wait = code.Here();
    code({0xDB, 0xBF, 0xE6, 0x80}).JumpBack(0x28, wait); // IN A,($BF); AND $80; JR Z,wait
    code.LoadA(0xC000)({0x3C}).StoreA(0xC000)({0x47});   // INC A; LD B,A
    code.OutA(0xBF, 0x00).OutA(0xBF, 0xC0)({0x78, 0xD3, 0xBE});        // colour RAM 0 = B
    code({0x78, 0xE6, 0x0F, 0xF6, 0x80, 0xD3, 0x7F});                  // tone 0 low bits = B
    code.Jr(loop);
    return code;
}

class BelcrestStateTest : public BelcrestSandbox {
protected:
    void SetUp() override
    {
        BelcrestSandbox::SetUp();
        Animation().Write(root / "anim.sms");
    }

    uint8_t Counter() const { return CpuSpace[0xC000]; }
    fs::path StateFile(int slot) { return fs::path(ZorvanEngine::Test::Narrow(Module().GetStateName(slot))); }

    std::vector<std::vector<uint32_t>> Record(int frames)
    {
        std::vector<std::vector<uint32_t>> shown;
        for (int i = 0; i < frames; ++i) {
            Frames(1);
            shown.push_back(ShownFrame());
        }
        return shown;
    }
};

TEST_F(BelcrestStateTest, ALoadedStateReplaysTheSameFrames)
{
    ASSERT_TRUE(Run(root / "anim.sms")) << Console();
    Frames(60);
    ASSERT_TRUE(Module().SaveState(3));
    EXPECT_TRUE(Module().HasState(3));
    EXPECT_EQ(fs::file_size(StateFile(3)), StateFileSize);
    std::vector<std::vector<uint32_t>> const first = Record(60);
    uint8_t const counter = Counter();
    ASSERT_TRUE(Module().LoadState(3));
    std::vector<std::vector<uint32_t>> const again = Record(60);
    EXPECT_EQ(Counter(), counter);
    ASSERT_EQ(first.size(), again.size());
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(first[i], again[i]) << "frame " << 61 + i;
    EXPECT_NE(first.front(), first.back()) << "the picture should change";
    EXPECT_TRUE(messages.empty());
}

TEST_F(BelcrestStateTest, EverySlotKeepsItsOwnState)
{
    ASSERT_TRUE(Run(root / "anim.sms")) << Console();
    uint8_t saved[10] = {};
    for (int slot = 1; slot <= 9; ++slot) {
        Frames(3);
        ASSERT_TRUE(Module().SaveState(slot)) << slot;
        saved[slot] = Counter();
    }
    for (int slot = 9; slot >= 1; --slot) {
        ASSERT_TRUE(Module().LoadState(slot)) << slot;
        EXPECT_EQ(Counter(), saved[slot]) << slot;
        Frames(2);
    }
}

TEST_F(BelcrestStateTest, ADamagedSlotIsRefusedAndTheGameRunsOnUntouched)
{
    // What an unloaded run shows from frame 61 on.
    ASSERT_TRUE(Run(root / "anim.sms")) << Console();
    Frames(60);
    std::vector<std::vector<uint32_t>> const plain = Record(10);

    ASSERT_TRUE(Run(root / "anim.sms")) << Console();
    Frames(20);
    ASSERT_TRUE(Module().SaveState(3));
    std::vector<uint8_t> good;
    {
        std::ifstream in(StateFile(3), std::ios::binary);
        good.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_EQ(good.size(), StateFileSize);
    Frames(40);

    auto damaged = [&good](auto change) {
        std::vector<uint8_t> bytes = good;
        change(bytes);
        return bytes;
    };
    struct Case {
        char const *what;
        std::vector<uint8_t> bytes;
    } const cases[] = {
        {"short", damaged([](auto &b) { b.resize(b.size() - 1); })},
        {"long", damaged([](auto &b) { b.push_back(0); })},
        {"empty", {}},
        {"of the Game Gear", damaged([](auto &b) { b[5] = uint8_t((b[5] & ~0x03) | 0x03); })},
        {"of another format", damaged([](auto &b) { b[4] = 5; })},
        {"with a hostile screen mode", damaged([](auto &b) { b[104] = 9; })},
        {"with a hostile VRAM address", damaged([](auto &b) { b[104 + 4 * 4 + 1] = 0xFF; })},
    };
    fs::path const slot4 = StateFile(4);
    for (Case const &c : cases) {
        messages.clear();
        std::ofstream(slot4, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<char const *>(c.bytes.data()), std::streamsize(c.bytes.size()));
        EXPECT_FALSE(Module().LoadState(4)) << c.what;
        ASSERT_EQ(messages.size(), 1u) << c.what;
        EXPECT_NE(messages[0].find(slot4.string()), std::string::npos) << messages[0];
    }
    EXPECT_EQ(Record(10), plain);
    // The other slots are unaffected.
    EXPECT_TRUE(Module().LoadState(3));
}

TEST_F(BelcrestStateTest, ASaveThatCannotBeWrittenKeepsTheOldFile)
{
    ASSERT_TRUE(Run(root / "anim.sms")) << Console();
    Frames(10);
    ASSERT_TRUE(Module().SaveState(2));
    fs::path const file = StateFile(2);
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> const old((std::istreambuf_iterator<char>(in)), {});
    Frames(10);

    fs::path const folder = file.parent_path();
    // The superuser writes into read-only folders; for it, a folder in the
    // way of the temporary file makes the write fail instead.
    bool const superuser = geteuid() == 0;
    std::vector<std::string> blockers;
    for (unsigned ahead = 0; superuser && ahead < 16; ++ahead)
        blockers.push_back(Zorvan::NextTemporaryNameOf(file.string(), ahead));
    for (std::string const &blocker : blockers)
        fs::create_directory(blocker);
    if (!superuser)
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    messages.clear();
    EXPECT_FALSE(Module().SaveState(2));
    EXPECT_EQ(messages.size(), 1u);
    for (std::string const &blocker : blockers)
        fs::remove(blocker);
    if (!superuser)
        fs::permissions(folder, fs::perms::owner_all);
    std::ifstream again(file, std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>((std::istreambuf_iterator<char>(again)), {}), old);
    EXPECT_TRUE(Module().HasState(2));
}

} // namespace
} // namespace Belcrest::Test
