// The module's sound end to end: a program sets tone 0 to N = 254 at full
// volume, later to attenuation 6; played through the module with SDL's disk
// driver at 44,100 Hz, the capture holds 440 Hz, a 12 dB drop and no gap.
#include "modules/belcrest/testing/BelcrestSandbox.h"
#include "modules/belcrest/testing/TestImages.h"
#include "tools/testsupport/ToneCapture.h"

#include <chrono>
#include <cmath>
#include <cstdio>

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
    double sum = 0;
    for (size_t i = begin; i < end; ++i) {
        double const value = double(samples[i]) - 128.0;
        sum += value * value;
    }
    return {QuintarTest::RisingCrossingHertz(samples, begin, end, kRate), std::sqrt(sum / double(end - begin))};
}

class BelcrestSoundCaptureTest : public QuintarTest::WithDiskSound<BelcrestSandbox> {};

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
    QuintarTest::ToneCapture capture;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(Run(root / "tone.sms")) << Console();
        ASSERT_TRUE(Module().GetSound()->IsOpen()) << Console();
        EXPECT_EQ(Module().GetSound()->m_rate, kRate);
        // Two and a half seconds at the machine's own pace.
        auto const late = QuintarTest::RunAtFramePace(150, [&] { return Module().RunFrame(); });
        engine->Shutdown();
        capture = QuintarTest::ReadToneCapture(capturePath);
        ASSERT_GT(capture.end - capture.begin, size_t(2 * kRate)) << "capture of " << capture.samples.size() << " samples";
        // No gap: the tone's only silent samples are its single edge samples.
        if (capture.longestSilence <= 2 || late < std::chrono::milliseconds(50))
            break;
    }
    EXPECT_LE(capture.longestSilence, 2u) << "silent samples in a row";
    std::vector<uint8_t> const &samples = capture.samples;
    size_t const begin = capture.begin, end = capture.end;

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
    std::printf("tone %.1f Hz, after the drop %.1f Hz, drop %.2f dB, longest silence %zu samples\n", loud.hertz,
                quiet.hertz, decibels, capture.longestSilence);
}

} // namespace
} // namespace Belcrest::Test
