// The module's sound end to end: a program sets tone 0 to N = 254 at full
// volume, later to attenuation 6; played through the module with SDL's disk
// driver at 44,100 Hz, the capture holds 440 Hz, a 12 dB drop and no gap.
#include "modules/belcrest/module/tests/BelcrestSandbox.h"
#include "modules/belcrest/module/tests/TestImages.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace Belcrest::Test {
namespace {

constexpr int kRate = 44100;

struct Level {
    double hertz; // from the rising crossings of the middle line
    double rms;
};

// Samples [begin, end) of unsigned 8-bit mono.
Level Measure(std::vector<uint8_t> const &samples, size_t begin, size_t end)
{
    size_t first = 0, last = 0;
    int crossings = 0;
    double sum = 0;
    for (size_t i = begin; i < end; ++i) {
        double const value = double(samples[i]) - 128.0;
        sum += value * value;
        if (i > begin && samples[i - 1] < 128 && samples[i] >= 128) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    double const hertz = crossings > 1 ? (crossings - 1) * double(kRate) / double(last - first) : 0.0;
    return {hertz, std::sqrt(sum / double(end - begin))};
}

class BelcrestSoundCaptureTest : public BelcrestSandbox {
protected:
    void SetUp() override
    {
        BelcrestSandbox::SetUp();
        capture = root / "capture.raw";
        environment.Set("SDL_AUDIODRIVER", "disk");
        environment.Set("SDL_DISKAUDIOFILE", capture.string());
        environment.Unset("SDL_DISKAUDIODELAY");
    }
    void TearDown() override
    {
        BelcrestSandbox::TearDown();
        environment.Restore();
    }

    fs::path capture;

private:
    QuintarTest::ScopedEnvironment environment;
};

TEST_F(BelcrestSoundCaptureTest, ATonePlaysAt440HzAndDrops12Decibels)
{
    Z80Code code;
    code.Start().OutA(0x7F, 0x8E).OutA(0x7F, 0x0F).OutA(0x7F, 0x90);
    WaitFrames(code, 60);
    code.OutA(0x7F, 0x96).Forever();
    code.Write(root / "tone.sms");

    engine->GetSettings().Set(L"Sound", true, false);
    engine->GetSettings().Set(L"Volume", 100, false);

    // A capture in which this thread fell far behind the clock may starve
    // the device through no fault of the module's; such a run is repeated.
    std::vector<uint8_t> samples;
    size_t begin = 0, end = 0, longest = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(Run(root / "tone.sms")) << Console();
        ASSERT_TRUE(Module().GetSound()->IsOpen()) << Console();
        EXPECT_EQ(Module().GetSound()->m_rate, kRate);
        // Two and a half seconds at the machine's own pace.
        auto const start = std::chrono::steady_clock::now();
        auto late = std::chrono::steady_clock::duration::zero();
        for (int frame = 0; frame < 150; ++frame) {
            auto const due = start + std::chrono::microseconds(16667) * frame;
            late = std::max(late, std::chrono::steady_clock::now() - due);
            ASSERT_TRUE(Module().RunFrame());
            std::this_thread::sleep_until(due + std::chrono::microseconds(16667));
        }
        engine->Shutdown();

        std::ifstream in(capture, std::ios::binary);
        samples.assign(std::istreambuf_iterator<char>(in), {});
        begin = 0;
        while (begin < samples.size() && samples[begin] == 128)
            ++begin;
        end = samples.size();
        while (end > begin && samples[end - 1] == 128)
            --end;
        ASSERT_GT(end - begin, size_t(2 * kRate)) << "capture of " << samples.size() << " samples";

        // No gap: the tone's only silent samples are its single edge samples.
        size_t run = 0;
        longest = 0;
        for (size_t i = begin; i < end; ++i) {
            run = samples[i] == 128 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (longest <= 2 || late < std::chrono::milliseconds(50))
            break;
    }
    EXPECT_LE(longest, 2u) << "silent samples in a row";

    // The drop: the first 10 ms window whose level falls below half of the
    // first second's.
    Level const loud = Measure(samples, begin + kRate / 10, begin + 9 * kRate / 10);
    size_t drop = begin + kRate / 2;
    while (drop + kRate / 100 < end && Measure(samples, drop, drop + kRate / 100).rms > loud.rms / 2)
        drop += kRate / 100;
    ASSERT_LT(drop + kRate / 2, end) << "no drop found";
    Level const quiet = Measure(samples, drop + kRate / 10, std::min(end, drop + kRate));

    // 3,579,545 / (32 x 254) = 440.4 Hz; the old formula's 435 Hz is 1.1 % off.
    EXPECT_NEAR(loud.hertz, 440.0, 440.0 * 0.005);
    EXPECT_NEAR(quiet.hertz, 440.0, 440.0 * 0.005);
    double const decibels = 20.0 * std::log10(loud.rms / quiet.rms);
    EXPECT_NEAR(decibels, 12.0, 1.0) << loud.rms << " / " << quiet.rms;
}

} // namespace
} // namespace Belcrest::Test
