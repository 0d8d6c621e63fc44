// One real run of the sound path: a module sound mixing a 1 kHz square
// wave, triggered once per frame for two seconds, played through SDL's disk
// driver into a file. The capture must hold the tone at its pitch and no
// stretch of silence once the first block has started.
#include "engine/BaseSound.h"
#include "engine/tests/BaseMediaFixture.h"
#include "engine/tests/BaseSoundProbe.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace ZorvanEngine::Test {
namespace {

class SoundCaptureTest : public MediaSandbox {
protected:
    void SetUp() override
    {
        MediaSandbox::SetUp();
        capture = root / "capture.raw";
        environment.Set("SDL_AUDIODRIVER", "disk");
        environment.Set("SDL_DISKAUDIOFILE", capture.string());
        // The driver's own pace: one buffer's playing time per buffer.
        environment.Unset("SDL_DISKAUDIODELAY");
    }
    void TearDown() override
    {
        environment.Restore();
        MediaSandbox::TearDown();
    }

    fs::path capture;

private:
    QuintarTest::ScopedEnvironment environment;
};

TEST_F(SoundCaptureTest, SquareWaveComesOutAtItsPitchWithoutGaps)
{
    constexpr int kRate = 22050;
    constexpr int kFrames = 120; // two seconds at 60 frames per second
    {
        SoundProbe sound(module.get(), SoundProbe::Wave::Square);
        sound.Open(kRate, 16, true);
        ASSERT_TRUE(sound.IsOpen()) << Console();
        auto const start = std::chrono::steady_clock::now();
        for (int frame = 0; frame < kFrames; ++frame) {
            sound.Trigger();
            std::this_thread::sleep_until(start + std::chrono::microseconds(16667) * (frame + 1));
        }
        EXPECT_LE(sound.m_blockCount, ZorvanEngine::BaseSound::kMaxBlocks);
        sound.Close();
    }

    std::ifstream in(capture, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GE(bytes.size(), 4u);
    std::vector<int16_t> left(bytes.size() / 4);
    for (size_t i = 0; i < left.size(); ++i)
        std::memcpy(&left[i], bytes.data() + i * 4, 2);

    size_t first = 0;
    while (first < left.size() && left[first] == 0)
        ++first;
    size_t last = left.size();
    while (last > first && left[last - 1] == 0)
        --last;
    ASSERT_LT(first, last) << "the capture is silent";
    size_t const span = last - first;
    // Nearly all of the two seconds made it out (the last queued blocks are
    // dropped by the close).
    EXPECT_GT(span, size_t(kRate) * 3 / 2);

    size_t silent = 0, transitions = 0;
    for (size_t i = first; i < last; ++i) {
        if (left[i] == 0)
            ++silent;
        if (i > first && (left[i] > 0) != (left[i - 1] > 0))
            ++transitions;
    }
    EXPECT_EQ(silent, 0u) << "the queue starved inside the tone";
    double const seconds = double(span) / kRate;
    double const hz = double(transitions) / 2.0 / seconds;
    EXPECT_NEAR(hz, double(SoundProbe::kSquareHz), SoundProbe::kSquareHz * 0.01) << transitions << " transitions";
}

} // namespace
} // namespace ZorvanEngine::Test
