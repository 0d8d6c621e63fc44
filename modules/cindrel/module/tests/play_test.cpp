// Playing: pad buttons from keys and a virtual joystick, the nine state
// slots, and battery memory across a close and the next start.
#include "common/zorvan/SafeFile.h"
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "tools/testsupport/VirtualJoystick.h"
#include "platform/ondrel/Input.h"

#include <fstream>
#include <iterator>

namespace Cindrel::Test {
namespace {

class CindrelPlayTest : public CindrelSandbox {
protected:
    int Setting(char const *prefix, char const *button) const
    {
        return Module().GetSettings().GetInt(Zorvan::String(prefix) + Zorvan::String(button));
    }
};

TEST_F(CindrelPlayTest, KeysReachThePadByte)
{
    SceneCartridge().Write(root / "pads.nes");
    ASSERT_TRUE(Run(root / "pads.nes")) << Console();
    struct Case {
        char const *button;
        uint8_t bit;
    } const cases[] = {{"A", 0x01},     {"B", 0x02},  {"Select", 0x04}, {"Start", 0x08},
                       {"Up", 0x10},    {"Down", 0x20}, {"Left", 0x40},  {"Right", 0x80}};
    Ondrel::Input *input = engine->GetInput();
    Frames(5); // the program's start-up, until its NMI runs
    for (Case const &c : cases) {
        input->KeyEvent(Setting("vk", c.button), true);
        Frames(3);
        EXPECT_EQ(PadState[0], c.bit) << c.button;
        EXPECT_EQ(CpuSpace[0x11], c.bit) << c.button << ": what the game read in its NMI";
        input->KeyEvent(Setting("vk", c.button), false);
        Frames(2);
        EXPECT_EQ(PadState[0], 0) << c.button;
    }
    input->KeyEvent(Setting("vk", "A"), true);
    input->KeyEvent(Setting("vk", "Start"), true);
    Frames(2);
    EXPECT_EQ(PadState[0], 0x09);
    input->KeyEvent(Setting("vk", "A"), false);
    input->KeyEvent(Setting("vk", "Start"), false);
}

TEST_F(CindrelPlayTest, VirtualJoystickButtonReachesThePadByte)
{
    QuintarTest::VirtualJoystick joystick;
    if (!joystick.IsOpen())
        GTEST_SKIP() << "no SDL virtual joystick: " << SDL_GetError();
    SceneCartridge().Write(root / "pads.nes");
    ASSERT_TRUE(Run(root / "pads.nes")) << Console();
    Frames(1);
    // "jsA" is joystick button 4: the virtual joystick's first button.
    ASSERT_EQ(Setting("js", "A"), 4);
    joystick.Set(4, true);
    Frames(3);
    EXPECT_EQ(PadState[0] & 0x01, 0x01);
    joystick.Set(4, false);
    Frames(3);
    EXPECT_EQ(PadState[0] & 0x01, 0);
}

TEST_F(CindrelPlayTest, NineSlotsEachLoadTheFrameAfterTheirSave)
{
    SceneCartridge().Write(root / "slots.nes");
    ASSERT_TRUE(Run(root / "slots.nes")) << Console();
    std::vector<uint8_t> counterAfter(10);
    for (int slot = 1; slot <= 9; ++slot) {
        Frames(9);
        ASSERT_TRUE(Module().SaveState(slot)) << slot << Console();
        Frames(1);
        counterAfter[size_t(slot)] = CpuSpace[0x10];
    }
    for (int slot = 9; slot >= 1; --slot) {
        ASSERT_TRUE(Module().LoadState(slot)) << slot;
        Frames(1);
        EXPECT_EQ(CpuSpace[0x10], counterAfter[size_t(slot)]) << slot;
    }
    // A damaged slot file is refused with one message; the game goes on.
    fs::path const state = static_cast<char const *>(Module().GetStateName(3));
    std::ofstream(state, std::ios::binary | std::ios::trunc) << "short";
    uint8_t const before = CpuSpace[0x10];
    messages.clear();
    EXPECT_FALSE(Module().LoadState(3));
    EXPECT_EQ(CpuSpace[0x10], before);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(state.filename().string()), std::string::npos) << messages[0];
    EXPECT_EQ(fs::file_size(state), 5u);
}

TEST_F(CindrelPlayTest, BatteryWrittenOnCloseAndReadAtTheNextStart)
{
    // The program counts its starts at $6001 and writes $6000 = $5A.
    CartridgeBuilder cart(2, 1);
    cart.Battery();
    cart.Code(0xC000, {0xEE, 0x01, 0x60, 0xA9, 0x5A, 0x8D, 0x00, 0x60, 0x4C, 0x08, 0xC0});
    cart.Vectors(0xC000, 0xC000, 0xC000);
    cart.Write(root / "battery.nes");
    ASSERT_TRUE(Run(root / "battery.nes")) << Console();
    Frames(3);
    EXPECT_EQ(CpuSpace[0x6001], 1);
    Module().Close();
    ASSERT_TRUE(Run(root / "battery.nes")) << Console();
    Frames(3);
    EXPECT_EQ(CpuSpace[0x6000], 0x5A);
    EXPECT_EQ(CpuSpace[0x6001], 2);
}

// A battery file of another size than the RAM stays as it was while the
// game runs, the user told why at the start; when the game's save replaces
// it at the close, it is kept aside whole and the user is told where.
TEST_F(CindrelPlayTest, ABatteryFileOfAnotherSizeIsKeptAsideAsTheSaveReplacesIt)
{
    CartridgeBuilder cart(2, 1);
    // LDA #$5A; STA $6000; JMP $C005.
    cart.Battery().Code(0xC000, {0xA9, 0x5A, 0x8D, 0x00, 0x60, 0x4C, 0x05, 0xC0}).Vectors(0xC000, 0xC000, 0xC000);
    cart.Write(root / "kept.nes");
    ASSERT_TRUE(Run(root / "kept.nes")) << Console();
    std::string const save = static_cast<char const *>(Module().GetSaveName());
    Module().Close();
    std::ofstream(save, std::ios::binary | std::ios::trunc) << std::string(100, 'x');
    messages.clear();
    ASSERT_TRUE(Run(root / "kept.nes")) << Console();
    Frames(2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("is not a save of this game"), std::string::npos) << messages[0];
    EXPECT_EQ(fs::file_size(save), 100u);
    Module().Close();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].find("moved aside as " + save + ".damaged"), std::string::npos) << messages[1];
    EXPECT_EQ(fs::file_size(save + ".damaged"), 100u);
    EXPECT_EQ(fs::file_size(save), 0x2000u);
}

// A save that cannot be written at the close (here a folder stands at its
// temporary name) loses the game's progress: the user is told, and the old
// file stays as it was.
TEST_F(CindrelPlayTest, ABatteryWriteThatFailsAtTheCloseIsToldToTheUser)
{
    CartridgeBuilder cart(2, 1);
    // LDA #$5A; STA $6000; JMP $C005.
    cart.Battery().Code(0xC000, {0xA9, 0x5A, 0x8D, 0x00, 0x60, 0x4C, 0x05, 0xC0}).Vectors(0xC000, 0xC000, 0xC000);
    cart.Write(root / "blocked.nes");
    ASSERT_TRUE(Run(root / "blocked.nes")) << Console();
    std::string const save = static_cast<char const *>(Module().GetSaveName());
    std::ofstream(save, std::ios::binary | std::ios::trunc) << std::string(0x2000, 'x');
    // In the way of the next writes of the file (settings may be written first).
    for (unsigned ahead = 0; ahead < 16; ++ahead)
        fs::create_directories(fs::path(Zorvan::NextTemporaryNameOf(save, ahead)) / "blocker");
    Frames(2);
    messages.clear();
    Module().Close();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(save + " could not be written"), std::string::npos) << messages[0];
    std::ifstream in(save, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string(0x2000, 'x'));
}

} // namespace
} // namespace Cindrel::Test
