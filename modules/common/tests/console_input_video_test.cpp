// The input's button table and the video's frame-skip counters, on a module
// of the test's own.
#include "engine/tests/EngineSandbox.h"
#include "modules/common/ConsoleInput.h"
#include "modules/common/ConsoleVideo.h"

#include <gtest/gtest.h>

namespace ConsoleGlue::Test {

using ZorvanEngine::Test::CallerModule;

namespace {

constexpr ConsoleButton kButtons[] = {
    {L"Up", 0x10, 0x0800},
    {L"Down", 0x20, 0x0400},
    {L"Left", 0x40, 0x0200},
    {L"Right", 0x80, 0x0100},
    {L"A", 0x01, 0x0080},
    {L"Select", 0x10000, 0x2000},
};

TEST(ConsoleInputTest, EveryButtonIsRegisteredFromItsKeyAndJoystickSettings)
{
    CallerModule module;
    int value = 1;
    for (ConsoleButton const &button : kButtons) {
        module.GetSettings().Set(L"vk" + Zorvan::String(button.name), 30 + value, false);
        module.GetSettings().Set(L"js" + Zorvan::String(button.name), value, false);
        ++value;
    }
    ConsoleInput *published = nullptr;
    ConsoleInput input(&module, kButtons, published);
    input.UpdateSettings();

    ASSERT_EQ(input.m_keys.size(), std::size(kButtons));
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        ZorvanEngine::BaseInput::KeyRecord const &key = input.m_keys[i];
        EXPECT_EQ(key.button, kButtons[i].bit) << i;
        EXPECT_EQ(key.padMask, kButtons[i].padMask) << i;
        EXPECT_EQ(key.virtualKey, 31 + static_cast<int>(i)) << i;
        EXPECT_EQ(key.hardwareKey, 1 + static_cast<int>(i)) << i;
    }

    // A settings change replaces the records rather than adding to them.
    module.GetSettings().Set(L"vkA", 99, false);
    input.UpdateSettings();
    ASSERT_EQ(input.m_keys.size(), std::size(kButtons));
    EXPECT_EQ(input.m_keys[4].virtualKey, 99);
}

TEST(ConsoleInputTest, TheInputIsPublishedWhileItLives)
{
    CallerModule module;
    ConsoleInput *published = nullptr;
    {
        ConsoleInput first(&module, kButtons, published);
        EXPECT_EQ(published, &first);
        {
            ConsoleInput second(&module, kButtons, published);
            EXPECT_EQ(published, &second);
        }
        EXPECT_EQ(published, nullptr);
        published = &first;
    }
    EXPECT_EQ(published, nullptr);

    // An input that is no longer the published one leaves the newer one there.
    auto older = std::make_unique<ConsoleInput>(&module, kButtons, published);
    ConsoleInput newer(&module, kButtons, published);
    older.reset();
    EXPECT_EQ(published, &newer);
}

class CounterVideo : public ConsoleGlue::ConsoleVideo {
public:
    using ConsoleVideo::ConsoleVideo;
    void Lock() override {}
    Ondrel::Point GetScreenSize() override { return Ondrel::Point{256, 224}; }
    void SetColor(int, int, int, int) override {}
    int Is60Hz() override { return 1; }
};

TEST(ConsoleVideoTest, FastModeAndPacingSetTheMachinesCounters)
{
    CallerModule module;
    module.GetSettings().Set(L"FrameSync", false, false);
    module.GetSettings().Set(L"FrameSkip", 2, false);
    int countdown = 1;
    int period = 1;
    CounterVideo video(&module, countdown, period);

    video.SetFastMode(false);
    EXPECT_EQ(countdown, 5);
    EXPECT_EQ(period, 5);
    video.SetFastMode(true);
    EXPECT_EQ(countdown, 0);
    EXPECT_EQ(period, 1);

    // Without frame sync every frame skips the configured count.
    video.UpdateSettings();
    EXPECT_TRUE(video.SyncFrame());
    EXPECT_EQ(countdown, 2);
    EXPECT_EQ(period, 3);
}

} // namespace
} // namespace ConsoleGlue::Test
