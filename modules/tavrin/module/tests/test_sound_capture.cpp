// The handheld's sound end to end, through the real plug-in and SDL's disk
// driver at 44,100 Hz: a program plays square 1 at x = 1750 (439.8 Hz), then
// the wave table at x = 1792 (a 32-sample wave at 256 Hz), then direct
// sound A streamed by DMA 1 at 16,386 samples/s (timer 0 reload 0xFC00)
// from a 32-byte period (512 Hz). Each tone must measure within 1 % and
// the capture must have no gap.
#include "engine/BaseSound.h"
#include "engine/tests/EngineSandbox.h"
#include "modules/tavrin/machine/tests/SoundProgram.h"
#include "tools/testsupport/ToneCapture.h"

#include <chrono>
#include <cstdio>

namespace {

using namespace EngineTest;
using Tavrin::Testing::SoundProgram;

constexpr int kRate = 44100;

// An engine over the plug-in copied into the sandbox's program folder.
class TavrinPluginSandbox : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        fs::create_directories(programFolder / "ZorvanModules");
        library = programFolder / "ZorvanModules/libTavrin.so";
        fs::copy_file(fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin/ZorvanModules/libTavrin.so",
                      library, fs::copy_options::overwrite_existing);
        MakeEngine().LoadModules();
        ASSERT_EQ(engine->GetModuleCount(), 1);
    }
    fs::path library;
};

class TavrinSoundCaptureTest : public QuintarTest::WithDiskSound<TavrinPluginSandbox> {};

// One second of each generator tone, then direct sound; the wave table is
// routed off ten frames after direct sound starts, once its ring plays.
std::vector<uint8_t> ThreeTonesImage()
{
    SoundProgram p;
    p.Io16(0x084, 0x0080);        // sound on
    p.Io16(0x082, 0x0B06);        // generator at full; direct A full, both outputs, timer 0
    p.Io16(0x080, 0x1177);        // master levels 7 and 7; square 1 to both outputs
    p.Io16(0x062, 0xF080);        // square 1: duty 50 %, volume 15, no envelope
    p.Io16(0x064, 0x8000 | 1750); // start at x = 1750
    p.WaitFrames(60);
    // The wave: 16 samples high, 16 low, written into bank 1 while bank 0
    // is selected, then played from bank 1.
    p.Io32(0x090, 0xFFFFFFFF);
    p.Io32(0x094, 0xFFFFFFFF);
    p.Io32(0x098, 0);
    p.Io32(0x09C, 0);
    p.Io16(0x072, 0x2000);        // full volume
    p.Io16(0x070, 0x00C0);        // on, bank 1, 32 samples
    p.Io16(0x074, 0x8000 | 1792); // start at x = 1792
    p.Io16(0x080, 0x4477);        // only the wave table routed: square 1 silent
    p.WaitFrames(60);
    p.Io32(0x0BC, SoundProgram::Samples);
    p.Io32(0x0C0, 0x040000A0);
    p.Io16(0x0C6, 0xB640);        // DMA 1: 32-bit, fixed destination, repeat, special timing
    p.Io16(0x100, 0xFC00);
    p.Io16(0x102, 0x0080);        // timer 0 at 16,386 overflows a second
    p.WaitFrames(10);
    p.Io16(0x080, 0x0077);        // nothing routed: direct sound alone
    p.Spin();
    return p.Image();
}

TEST_F(TavrinSoundCaptureTest, SquareWaveAndDirectSoundPlayAtTheirPitches)
{
    std::vector<uint8_t> const image = ThreeTonesImage();
    WriteFile(root / "tones.gba", std::string(image.begin(), image.end()));
    ZorvanEngine::Module *module = engine->OpenModule(0);
    module->GetSettings().Set(L"Sound", true, false);
    module->GetSettings().Set(L"FrameSkip", 0, false);
    module->GetSettings().Set(L"FrameSync", false, false);
    module->SaveSettings();
    engine->CloseModule(module);
    engine->GetSettings().Set(L"Sound", true, false);
    engine->GetSettings().Set(L"Volume", 100, false);

    // A run in which this thread fell far behind the clock may starve the
    // device through no fault of the module's; such a run is repeated.
    QuintarTest::ToneCapture capture;
    uint32_t pcmRate = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(engine->RunFile(Wide(root / "tones.gba"))) << Console();
        ZorvanEngine::Module &active = *engine->GetActiveModule();
        ASSERT_TRUE(active.GetSound()->IsOpen()) << Console();
        auto const late = QuintarTest::RunAtFramePace(220, [&] { return active.RunFrame(); });
        // The machine's rate for channel A, read from the loaded plug-in.
        void *handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(handle, nullptr);
        auto const *rates = static_cast<uint32_t const *>(dlsym(handle, "_ZN6Tavrin7PcmRateE"));
        ASSERT_NE(rates, nullptr);
        pcmRate = rates[0];
        dlclose(handle);
        engine->Shutdown();
        capture = QuintarTest::ReadToneCapture(capturePath);
        ASSERT_GT(capture.end - capture.begin, size_t(3 * kRate)) << "capture of " << capture.samples.size() << " samples";
        if (capture.longestSilence <= 8 || late < std::chrono::milliseconds(50))
            break;
    }
    EXPECT_EQ(pcmRate, 16386u);
    EXPECT_LE(capture.longestSilence, 8u) << "silent samples in a row";
    size_t const begin = capture.begin;
    auto const at = [&](double seconds) { return begin + size_t(seconds * kRate); };
    double const square = QuintarTest::RisingCrossingHertz(capture.samples, at(0.15), at(0.85), kRate);
    double const wave = QuintarTest::RisingCrossingHertz(capture.samples, at(1.15), at(1.85), kRate);
    double const direct = QuintarTest::RisingCrossingHertz(capture.samples, at(2.5), capture.end - kRate / 10, kRate);
    EXPECT_NEAR(square, 439.8, 4.4);
    EXPECT_NEAR(wave, 256.0, 2.56);
    EXPECT_NEAR(direct, 16386.0 / 32, 5.12);
    std::printf("square 1 %.1f Hz, wave table %.1f Hz, direct sound A %.1f Hz at %u samples/s, "
                "longest silence %zu samples\n",
                square, wave, direct, pcmRate, capture.longestSilence);
}

} // namespace
