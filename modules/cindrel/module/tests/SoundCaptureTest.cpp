// The module's sound end to end: a program plays square 1 at t = 253, then
// switches to the triangle at t = 126; played through the module with SDL's
// disk driver at 44,100 Hz, both measure 440 Hz (the triangle sounds an
// octave below a square of the same timer) and the capture has no gap.
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace Cindrel::Test {
namespace {

constexpr int kRate = 44100;

// Rising crossings of the middle line in samples [begin, end).
double Hertz(std::vector<uint8_t> const &samples, size_t begin, size_t end)
{
    size_t first = 0, last = 0;
    int crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (samples[i - 1] < 128 && samples[i] >= 128) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * double(kRate) / double(last - first) : 0.0;
}

class CindrelSoundCaptureTest : public CindrelSandbox {
protected:
    void SetUp() override
    {
        CindrelSandbox::SetUp();
        capture = root / "capture.raw";
        environment.Set("SDL_AUDIODRIVER", "disk");
        environment.Set("SDL_DISKAUDIOFILE", capture.string());
        environment.Unset("SDL_DISKAUDIODELAY");
    }
    void TearDown() override
    {
        CindrelSandbox::TearDown();
        environment.Restore();
    }

    fs::path capture;

private:
    QuintarTest::ScopedEnvironment environment;
};

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

    std::vector<uint8_t> samples;
    size_t begin = 0, end = 0, longest = 0;
    // A run in which this thread fell far behind the clock may starve the
    // device through no fault of the module's; such a run is repeated.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(Run(root / "tones.nes")) << Console();
        ASSERT_TRUE(Module().GetSound()->IsOpen()) << Console();
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
        // No gap: a silent frame would be hundreds of samples of 128.
        size_t run = 0;
        longest = 0;
        for (size_t i = begin; i < end; ++i) {
            run = samples[i] == 128 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (longest <= 8 || late < std::chrono::milliseconds(50))
            break;
    }
    EXPECT_LE(longest, 8u) << "silent samples in a row";
    double const square = Hertz(samples, begin + kRate / 10, begin + 8 * kRate / 10);
    double const triangle = Hertz(samples, begin + 13 * kRate / 10, end - kRate / 10);
    EXPECT_NEAR(square, 440.4, 4.4);
    EXPECT_NEAR(triangle, 440.4, 4.4);
}

} // namespace
} // namespace Cindrel::Test
