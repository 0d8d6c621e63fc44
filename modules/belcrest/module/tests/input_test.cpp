// Every button of the module's input reaches the machine, through a key of
// the platform input and through a button of an SDL virtual joystick: its
// bit at ports $DC/$DD, the Game Gear's Start at port $00, and Pause as one
// non-maskable interrupt per press.
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/testing/BelcrestSandbox.h"
#include "modules/belcrest/testing/TestImages.h"
#include "tools/testsupport/VirtualJoystick.h"
#include "platform/ondrel/Input.h"

#include <functional>

namespace Belcrest::Test {
namespace {

// Counts non-maskable interrupts at $C000 and otherwise idles.
Z80Code NmiCounter()
{
    Z80Code code;
    code.Start().Forever();
    code.At(0x66)({0xF5}).LoadA(0xC000)({0x3C}).StoreA(0xC000)({0xF1, 0xED, 0x45});
    return code;
}

// One button held by some device while the machine runs frames.
using Press = std::function<void(bool down)>;

struct Expectation {
    char const *button;
    uint8_t port;  // 0xDC, 0xDD or 0x00
    uint8_t mask;  // the bit that reads 0 while the button is held
};

Expectation const kMasterSystem[] = {
    {"Up", 0xDC, 0x01},   {"Down", 0xDC, 0x02}, {"Left", 0xDC, 0x04}, {"Right", 0xDC, 0x08},
    {"B", 0xDC, 0x10},    {"A", 0xDC, 0x20},
    {"Start", 0xDC, 0x10}, // Start also presses button 1 on the Master System
};

class BelcrestInputTest : public BelcrestSandbox {
protected:
    void SetUp() override
    {
        BelcrestSandbox::SetUp();
        NmiCounter().Write(root / "pads.sms");
        NmiCounter().Write(root / "pads.gg");
    }

    uint8_t NmiCount() const { return CpuSpace[0xC000]; }

    // The key and joystick settings of a button row.
    int Setting(char const *prefix, char const *button) const
    {
        return Module().GetSettings().GetInt(Zorvan::String(prefix) + Zorvan::String(button));
    }

    Press Key(char const *button)
    {
        int const key = Setting("vk", button);
        return [this, key](bool down) { engine->GetInput()->KeyEvent(key, down); };
    }

    void CheckPorts(Press const &press, Expectation const &e)
    {
        Frames(1);
        uint8_t const released = ReadPort(e.port);
        EXPECT_EQ(released & e.mask, e.mask) << e.button;
        press(true);
        Frames(1);
        EXPECT_EQ(ReadPort(e.port) & e.mask, 0) << e.button;
        press(false);
        Frames(1);
        EXPECT_EQ(ReadPort(e.port), released) << e.button;
    }

    void CheckPause(Press const &press)
    {
        uint8_t const before = NmiCount();
        press(true);
        Frames(5);
        press(false);
        Frames(2);
        EXPECT_EQ(NmiCount(), uint8_t(before + 1)) << "one interrupt per press, however long it is held";
        press(true);
        Frames(1);
        press(false);
        Frames(1);
        EXPECT_EQ(NmiCount(), uint8_t(before + 2));
    }

    void CheckGameGearStart(Press const &press)
    {
        Frames(1);
        EXPECT_EQ(ReadPort(0x00) & 0x80, 0x80);
        press(true);
        Frames(1);
        EXPECT_EQ(ReadPort(0x00) & 0x80, 0);
        uint8_t const before = NmiCount();
        press(false);
        Frames(1);
        EXPECT_EQ(ReadPort(0x00) & 0x80, 0x80);
        EXPECT_EQ(NmiCount(), before);
    }
};

TEST_F(BelcrestInputTest, EveryKeyReachesTheMachine)
{
    ASSERT_TRUE(Run(root / "pads.sms")) << Console();
    for (Expectation const &e : kMasterSystem)
        CheckPorts(Key(e.button), e);
    CheckPause(Key("Select"));

    ASSERT_TRUE(Run(root / "pads.gg")) << Console();
    CheckGameGearStart(Key("Start"));
    // Pause is no interrupt on the Game Gear.
    uint8_t const before = NmiCount();
    Key("Select")(true);
    Frames(3);
    Key("Select")(false);
    EXPECT_EQ(NmiCount(), before);
}

TEST_F(BelcrestInputTest, EveryJoystickButtonReachesTheMachine)
{
    QuintarTest::VirtualJoystick joystick;
    ASSERT_TRUE(joystick.IsOpen()) << SDL_GetError();
    auto button = [this, &joystick](char const *name) -> Press {
        int const number = Setting("js", name);
        return [&joystick, number](bool down) { joystick.Set(number, down); };
    };
    ASSERT_TRUE(Run(root / "pads.sms")) << Console();
    for (Expectation const &e : kMasterSystem)
        CheckPorts(button(e.button), e);
    CheckPause(button("Select"));

    ASSERT_TRUE(Run(root / "pads.gg")) << Console();
    CheckGameGearStart(button("Start"));
}

} // namespace
} // namespace Belcrest::Test
