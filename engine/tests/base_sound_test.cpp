// The sound base over SDL's dummy driver: how much each frame queues, the
// block ring, closing for the active module only, settings read from an
// editable file, and an output device that cannot be had.
#include "engine/BaseSound.h"
#include "engine/tests/BaseMediaFixture.h"
#include "engine/tests/BaseSoundProbe.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <SDL.h>

#include <chrono>
#include <thread>

namespace ZorvanEngine::Test {
namespace {

class BaseSoundTest : public MediaSandbox {
protected:
    void SetUp() override
    {
        MediaSandbox::SetUp();
        environment.Set("SDL_AUDIODRIVER", "dummy");
    }
    void TearDown() override
    {
        environment.Restore();
        MediaSandbox::TearDown();
    }

    // Waits until the device has handed back every block.
    static bool Drain(SoundProbe &sound)
    {
        auto const end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            if (sound.FreeBlocks() == sound.m_blockCount)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    QuintarTest::ScopedEnvironment environment;
};

TEST(BaseSoundRateControl, EachFrameKeepsBetweenThreeAndSixFramesQueued)
{
    int const e = BaseSound::FrameSamples(22050, 60);
    EXPECT_EQ(e, 367);
    EXPECT_EQ(BaseSound::FrameSamples(22050, 0), 0);
    struct Case {
        int queued, write;
    } const cases[] = {
        {0, 367 + 1376}, {100, 367 + 1276}, {1375, 368}, {1376, 367}, {2293, 367},
        {2294, 366},     {2400, 260},       {2659, 1},   {2660, 0},   {3000, 0},
    };
    for (Case const &c : cases)
        EXPECT_EQ(BaseSound::SamplesToWrite(c.queued, e), c.write) << c.queued << " queued";
}

TEST_F(BaseSoundTest, TriggerQueuesByTheRateControlAndGrowsTheRing)
{
    SoundProbe sound(module.get());
    sound.Open(22050, 16, false);
    ASSERT_TRUE(sound.IsOpen()) << Console();
    EXPECT_EQ(sound.m_blockSamples, 735);
    EXPECT_EQ(sound.m_blockBytes, 1470);
    sound.Pause(); // nothing plays: every sample written stays queued

    struct Step {
        int queued, toWrite, blocks;
    } const steps[] = {
        // A block filled in part still takes a whole block at the device.
        {0, 1743, 3}, {1743, 367, 4}, {2110, 367, 5}, {2477, 183, 6}, {2660, 0, 6},
    };
    for (Step const &s : steps) {
        sound.Trigger();
        EXPECT_EQ(sound.m_queued, s.queued);
        EXPECT_EQ(sound.m_toWrite, s.toWrite);
        EXPECT_EQ(sound.m_blockCount, s.blocks);
        EXPECT_EQ(sound.m_playedLast, 0);
    }
    EXPECT_EQ(sound.m_written, 2660u);
    EXPECT_EQ(sound.overwrites, 0);

    sound.Resume();
    ASSERT_TRUE(Drain(sound));
    EXPECT_EQ(sound.Position(), 2660u);
    sound.Trigger();
    EXPECT_EQ(sound.m_playedLast, 2660);
    EXPECT_EQ(sound.m_queued, 0);
}

TEST_F(BaseSoundTest, RingStopsAtFiftyBlocksAndNeverLosesOrRepeatsABlock)
{
    SoundProbe sound(module.get());
    sound.shortMixEvery = 3;
    sound.Open(22050, 16, false);
    ASSERT_TRUE(sound.IsOpen());
    sound.Pause();
    sound.WriteAudio(100 * 735);
    EXPECT_EQ(sound.m_blockCount, BaseSound::kMaxBlocks);
    EXPECT_EQ(sound.FreeBlocks(), 0);
    uint64_t const firstWrite = sound.m_written;
    EXPECT_GT(firstWrite, 49u * 735u);
    EXPECT_LE(firstWrite, 50u * 735u);

    // Play while frames keep coming, faster than real time for a while,
    // then at the frame rate; some mixes come back short.
    sound.Resume();
    for (int frame = 0; frame < 90; ++frame) {
        sound.Trigger();
        sound.WriteAudio(2000);
        if (frame >= 30)
            std::this_thread::sleep_for(std::chrono::microseconds(16667));
    }
    EXPECT_EQ(sound.m_blockCount, BaseSound::kMaxBlocks);
    EXPECT_EQ(sound.overwrites, 0);
    ASSERT_TRUE(Drain(sound));
    // Every sample mixed was played exactly once.
    EXPECT_EQ(sound.Position(), sound.m_written);
}

TEST_F(BaseSoundTest, AMixClaimingMoreThanAskedIsHeldToTheBlock)
{
    SoundProbe sound(module.get());
    sound.overReport = 100000;
    sound.Open(11025, 16, true);
    ASSERT_TRUE(sound.IsOpen());
    sound.WriteAudio(1000);
    EXPECT_EQ(sound.m_written, 1000u);
    ASSERT_TRUE(Drain(sound));
    EXPECT_EQ(sound.Position(), 1000u);
}

TEST_F(BaseSoundTest, CloseLeavesTheDeviceOfAModuleThatIsNotActive)
{
    CallerModule other;
    SoundProbe sound(module.get());
    sound.Open(22050, 8, false);
    ASSERT_TRUE(sound.IsOpen());
    sound.Trigger();

    engine->m_activeModule = &other;
    sound.Close();
    EXPECT_TRUE(sound.IsOpen());
    EXPECT_NE(sound.m_waveOut, nullptr);

    engine->m_activeModule = module.get();
    sound.Close();
    EXPECT_FALSE(sound.IsOpen());
    EXPECT_EQ(sound.m_waveOut, nullptr);
    EXPECT_EQ(sound.m_blockCount, 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(BaseSoundTest, DestroyingAnOpenSoundOfAnInactiveModuleStopsItsDevice)
{
    CallerModule other;
    engine->m_activeModule = &other;
    {
        SoundProbe sound(module.get());
        sound.Open(22050, 16, true);
        ASSERT_TRUE(sound.IsOpen());
        sound.Trigger();
    }
    // The audio thread would otherwise go on reading freed blocks.
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

TEST_F(BaseSoundTest, OpenBringsTheRateIntoRangeAndIgnoresZero)
{
    struct Case {
        int asked, rate;
    } const cases[] = {{0, 0}, {-5, 0}, {4000, 8000}, {8000, 8000}, {44100, 44100}, {1000000, 48000}};
    for (Case const &c : cases) {
        SoundProbe sound(module.get());
        sound.Open(c.asked, 8, false);
        EXPECT_EQ(sound.m_rate, c.rate) << c.asked;
        EXPECT_EQ(sound.IsOpen(), c.rate != 0) << c.asked;
        if (c.rate) {
            EXPECT_EQ(sound.m_blockSamples, 2 * c.rate / 60) << c.asked;
        }
    }
}

TEST_F(BaseSoundTest, SettingsFromTheFileAreClampedAndApplied)
{
    struct Case {
        int soundRate, volume;
        bool stereo, sixteen;
        int rate, clampedVolume, bits, align;
    } const cases[] = {
        {22050, 50, false, false, 22050, 50, 8, 1},
        {96000, 250, true, true, 48000, 100, 16, 4},
        {100, -5, true, false, 8000, 0, 8, 2},
    };
    engine->SetRunning(true);
    SoundProbe sound(module.get());
    sound.m_channelCount = 3;
    for (Case const &c : cases) {
        engine->GetSettings().Set(L"Volume", c.volume, false);
        module->GetSettings().Set(L"Sound", true, false);
        module->GetSettings().Set(L"SoundRate", c.soundRate, false);
        module->GetSettings().Set(L"Stereo", c.stereo, false);
        module->GetSettings().Set(L"Sound16Bit", c.sixteen, false);
        module->GetSettings().Set(L"SoundChannel0", true, false);
        module->GetSettings().Set(L"SoundChannel1", false, false);
        module->GetSettings().Set(L"SoundChannel2", true, false);
        module->GetSettings().Set(L"Noise", true, false);
        sound.UpdateSettings();
        ASSERT_TRUE(sound.IsOpen()) << c.soundRate;
        EXPECT_EQ(sound.m_rate, c.rate);
        EXPECT_EQ(sound.m_bits, c.bits);
        EXPECT_EQ(sound.m_blockAlign, c.align);
        EXPECT_EQ(sound.m_volume, c.clampedVolume);
        EXPECT_TRUE(sound.m_noise);
        ASSERT_NE(sound.m_channelEnabled, nullptr);
        EXPECT_TRUE(sound.m_channelEnabled[0]);
        EXPECT_FALSE(sound.m_channelEnabled[1]);
        EXPECT_EQ(sound.m_enabledCount, 2);
    }

    // Sound switched off closes the device; nothing reopens it while no game runs.
    engine->GetSettings().Set(L"Sound", false, false);
    sound.UpdateSettings();
    EXPECT_FALSE(sound.IsOpen());
    engine->GetSettings().Set(L"Sound", true, false);
    engine->SetRunning(false);
    sound.UpdateSettings();
    EXPECT_FALSE(sound.IsOpen());
}

TEST_F(BaseSoundTest, WithoutAnOutputDeviceTheModuleRunsSilently)
{
    struct Case {
        char const *driver;
        int bits;
        char const *text;
    } const cases[] = {
        {"dummy", 12, "Error opening waveOut: BADFORMAT\n"},
        {"no-such-driver", 16, "Error opening waveOut: NODRIVER\n"},
    };
    for (Case const &c : cases) {
        environment.Set("SDL_AUDIODRIVER", c.driver);
        Zorvan::clearConsole();
        SoundProbe sound(module.get());
        sound.Open(22050, c.bits, false);
        EXPECT_EQ(Console(), c.text);
        EXPECT_FALSE(sound.IsOpen());
        EXPECT_EQ(sound.m_waveOut, nullptr);
        sound.Trigger();
        sound.Pause();
        sound.Resume();
        EXPECT_EQ(sound.mixCalls, 0);
    }
}

} // namespace
} // namespace ZorvanEngine::Test
