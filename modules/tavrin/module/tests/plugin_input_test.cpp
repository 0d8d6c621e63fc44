// The buttons reach the console's key register (active low, read once a
// frame) through the real plug-in: every key of the platform input, and the
// buttons of an SDL virtual joystick.
#include "modules/tavrin/testing/TestImage.h"
#include "modules/tavrin/module/tests/PluginSandbox.h"
#include "tools/testsupport/VirtualJoystick.h"

#include <functional>

namespace Tavrin::Test {
namespace {

constexpr uint32_t kKeyInput = 0x04000130;
constexpr uint32_t kNoneHeld = 0x3FF;

struct Button {
    wchar_t const *name; // the settings' suffix
    uint32_t bit;        // in the key register
};

constexpr Button kButtons[] = {
    {L"Up", 0x040},    {L"Down", 0x080}, {L"Left", 0x020}, {L"Right", 0x010}, {L"A", 0x001},
    {L"B", 0x002},     {L"Select", 0x004}, {L"Start", 0x008}, {L"L", 0x200}, {L"R", 0x100},
};

class TavrinInputTest : public TavrinModuleTest {
protected:
    void SetUp() override
    {
        TavrinModuleTest::SetUp();
        StoreRunSettings(false);
    }
    void Start()
    {
        ASSERT_TRUE(engine->RunFile(Wide(Image("spin.gba", Tavrin::SpinningImage(0x4000))))) << Console();
    }
    int Setting(wchar_t const *prefix, Button const &b)
    {
        return Active().GetSettings().GetInt(Zorvan::String(prefix) + b.name);
    }
    uint32_t KeyRegisterAfterAFrame()
    {
        EXPECT_TRUE(Active().RunFrame());
        return words->Read16(kKeyInput);
    }
    // Held, the button's bit alone reads 0; let go, all read 1 again.
    void Check(Button const &b, std::function<void(bool)> const &hold)
    {
        EXPECT_EQ(KeyRegisterAfterAFrame(), kNoneHeld) << Narrow(b.name);
        hold(true);
        EXPECT_EQ(KeyRegisterAfterAFrame(), kNoneHeld & ~b.bit) << Narrow(b.name);
        hold(false);
        EXPECT_EQ(KeyRegisterAfterAFrame(), kNoneHeld) << Narrow(b.name);
    }
};

TEST_F(TavrinInputTest, EveryKeyReachesTheKeyRegister)
{
    Start();
    for (Button const &b : kButtons) {
        int const key = Setting(L"vk", b);
        Check(b, [&](bool down) { engine->GetInput()->KeyEvent(key, down); });
    }
}

TEST_F(TavrinInputTest, JoystickButtonsReachTheKeyRegister)
{
    QuintarTest::VirtualJoystick joystick;
    ASSERT_TRUE(joystick.IsOpen()) << SDL_GetError();
    Start();
    int checked = 0;
    for (Button const &b : kButtons) {
        // The virtual joystick has a hat and four buttons: numbers 0 to 7,
        // the default bindings of all but L and R.
        int const number = Setting(L"js", b);
        if (number > 7)
            continue;
        Check(b, [&](bool down) { joystick.Set(number, down); });
        ++checked;
    }
    EXPECT_EQ(checked, 8);
}

} // namespace
} // namespace Tavrin::Test
