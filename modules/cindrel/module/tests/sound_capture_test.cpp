// The module's sound end to end: a program plays square 1 at t = 253, then
// switches to the triangle at t = 126; played through the module with SDL's
// disk driver at 44,100 Hz, both measure 440 Hz (the triangle sounds an
// octave below a square of the same timer) and the capture has no gap.
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "tools/testsupport/ToneCapture.h"

#include <chrono>
#include <cstdio>

namespace Cindrel::Test {
namespace {

constexpr int kRate = 44100;

class CindrelSoundCaptureTest : public QuintarTest::WithDiskSound<CindrelSandbox> {};

TEST_F(CindrelSoundCaptureTest, SquareThenTriangleBothAt440Hz)
{
    CartridgeBuilder cart(2, 1);
    cart.Code(0xC000, {
        0x78, 0xD8, 0xA2, 0xFF, 0x9A,       // SEI CLD LDX #$FF TXS
        0xA9, 0x0F, 0x8D, 0x15, 0x40,       // $4015 = $0F
        0xA9, 0xBF, 0x8D, 0x00, 0x40,       // square 1: duty 2, volume 15, no length
        0xA9, 0x08, 0x8D, 0x01, 0x40,       // no sweep
        0xA9, 0xFD, 0x8D, 0x02, 0x40,       // t = 253
        0xA9, 0x00, 0x8D, 0x03, 0x40,
        0xA2, 0x3C,                         // LDX #60
        0x2C, 0x02, 0x20, 0x10, 0xFB,       // wait for vertical blank
        0xCA, 0xD0, 0xF8,                   // DEX BNE
        0xA9, 0xFF, 0x8D, 0x08, 0x40,       // triangle: no length limit
        0xA9, 0x7E, 0x8D, 0x0A, 0x40,       // t = 126
        0xA9, 0x00, 0x8D, 0x0B, 0x40,
        0xA9, 0x04, 0x8D, 0x15, 0x40,       // square 1 off
        0x4C, 0x3C, 0xC0,                   // JMP to itself
    });
    cart.Vectors(0xC000, 0xC000, 0xC000);
    cart.Write(root / "tones.nes");

    engine->GetSettings().Set(L"Sound", true, false);
    engine->GetSettings().Set(L"Volume", 100, false);

    // A run in which this thread fell far behind the clock may starve the
    // device through no fault of the module's; such a run is repeated.
    QuintarTest::ToneCapture capture;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(Run(root / "tones.nes")) << Console();
        ASSERT_TRUE(Module().GetSound()->IsOpen()) << Console();
        auto const late = QuintarTest::RunAtFramePace(150, [&] { return Module().RunFrame(); });
        engine->Shutdown();
        capture = QuintarTest::ReadToneCapture(capturePath);
        ASSERT_GT(capture.end - capture.begin, size_t(2 * kRate)) << "capture of " << capture.samples.size() << " samples";
        // No gap: a silent frame would be hundreds of samples of 128.
        if (capture.longestSilence <= 8 || late < std::chrono::milliseconds(50))
            break;
    }
    EXPECT_LE(capture.longestSilence, 8u) << "silent samples in a row";
    size_t const begin = capture.begin, end = capture.end;
    double const square = QuintarTest::RisingCrossingHertz(capture.samples, begin + kRate / 10, begin + 8 * kRate / 10, kRate);
    double const triangle = QuintarTest::RisingCrossingHertz(capture.samples, begin + 13 * kRate / 10, end - kRate / 10, kRate);
    EXPECT_NEAR(square, 440.4, 4.4);
    EXPECT_NEAR(triangle, 440.4, 4.4);
    std::printf("square %.1f Hz, triangle %.1f Hz, longest silence %zu samples\n", square, triangle,
                capture.longestSilence);
}

} // namespace
} // namespace Cindrel::Test
