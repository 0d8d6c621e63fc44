// The handheld's sound end to end, through the real plug-in and SDL's disk
// driver at 44,100 Hz, 16-bit mono, with frames played at the console's
// pace: pitches of the generator and of direct sound, the console's mixing
// proportions, the noise clock, direct sound starting in the frame the game
// starts it, and nothing clipping with everything at full volume.
#include "engine/BaseSound.h"
#include "engine/tests/EngineSandbox.h"
#include "modules/tavrin/testing/SoundProgram.h"
#include "tools/testsupport/ToneCapture.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

namespace Tavrin::Test {
namespace {

using namespace ZorvanEngine::Test;

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

class TavrinSoundCaptureTest : public QuintarTest::WithDiskSound<TavrinPluginSandbox> {
protected:
    // What one run left: the capture, the samples mixed up to the end of
    // each frame, and channel A's rate after each frame.
    struct Played {
        QuintarTest::WideCapture capture;
        std::vector<uint64_t> mixed;
        std::vector<uint32_t> rateA;
        // The capture's index of a sample mixed, counted from the first
        // sound, which the program starts in frame 0 and the first block
        // plays from its first sample.
        size_t Index(uint64_t sampleMixed) const { return size_t(capture.begin + sampleMixed); }
        // The capture's samples mixed in frames [from, to).
        std::pair<size_t, size_t> Frames(int from, int to) const
        {
            return {Index(mixed[size_t(from - 1)]), Index(mixed[size_t(to - 1)])};
        }
    };

    // Plays the image for the given number of frames at frame pace. A run
    // in which this thread fell far behind the clock may starve the device
    // through no fault of the module's; such a run is repeated.
    Played Play(std::vector<uint8_t> const &image, int frames)
    {
        WriteFile(root / "sound.gba", std::string(image.begin(), image.end()));
        ZorvanEngine::Module *module = engine->OpenModule(0);
        module->GetSettings().Set(L"Sound", true, false);
        module->GetSettings().Set(L"FrameSkip", 0, false);
        module->GetSettings().Set(L"FrameSync", false, false);
        module->SaveSettings();
        engine->CloseModule(module);
        engine->GetSettings().Set(L"Sound", true, false);
        engine->GetSettings().Set(L"Volume", 100, false);

        Played played;
        for (int attempt = 0; attempt < 3; ++attempt) {
            played = Played{};
            EXPECT_TRUE(engine->RunFile(Wide(root / "sound.gba"))) << Console();
            ZorvanEngine::Module &active = *engine->GetActiveModule();
            ZorvanEngine::BaseSound *sound = active.GetSound();
            EXPECT_TRUE(sound->IsOpen()) << Console();
            EXPECT_EQ(sound->m_bits, 16);
            void *handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
            EXPECT_NE(handle, nullptr);
            auto const *rates = static_cast<uint32_t const *>(dlsym(handle, "_ZN6Tavrin7PcmRateE"));
            EXPECT_NE(rates, nullptr);
            auto const late = QuintarTest::RunAtFramePace(frames, [&] {
                bool const ran = active.RunFrame();
                played.mixed.push_back(sound->m_written);
                played.rateA.push_back(rates ? rates[0] : 0);
                return ran;
            });
            dlclose(handle);
            engine->Shutdown();
            played.capture = QuintarTest::ReadWideCapture(capturePath);
            if (played.capture.longestSilence <= 8 || late < std::chrono::milliseconds(50))
                break;
        }
        // The last few frames are still queued when the engine shuts down.
        EXPECT_GT(played.capture.end - played.capture.begin, size_t(frames - 20) * kRate / 60)
            << "capture of " << played.capture.samples.size() << " samples";
        EXPECT_LE(played.capture.longestSilence, 8u) << "silent samples in a row";
        return played;
    }
};

double Rms(std::vector<int16_t> const &s, std::pair<size_t, size_t> span)
{
    double sum = 0, mean = 0;
    for (size_t i = span.first; i < span.second; ++i)
        mean += s[i];
    mean /= double(span.second - span.first);
    for (size_t i = span.first; i < span.second; ++i)
        sum += (s[i] - mean) * (s[i] - mean);
    return std::sqrt(sum / double(span.second - span.first));
}

double Decibels(double level, double reference) { return 20 * std::log10(level / reference); }

// The lag within [low, high] at which the samples of the span repeat best
// (the least squared difference): a noise period in output samples.
size_t RepeatLag(std::vector<int16_t> const &s, std::pair<size_t, size_t> span, size_t low, size_t high)
{
    size_t best = low;
    double bestDifference = -1;
    for (size_t lag = low; lag <= high; ++lag) {
        double difference = 0;
        for (size_t i = span.first; i + high < span.second; ++i) {
            const double d = double(s[i]) - double(s[i + lag]);
            difference += d * d;
        }
        if (bestDifference < 0 || difference < bestDifference) {
            bestDifference = difference;
            best = lag;
        }
    }
    return best;
}

// One second of each generator tone, then direct sound; the wave table is
// routed off ten frames after direct sound starts.
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
    p.Io16(0x102, 0x0080);        // timer 0 at 16,384 overflows a second
    p.WaitFrames(10);
    p.Io16(0x080, 0x0077);        // nothing routed: direct sound alone
    p.Spin();
    return p.Image();
}

TEST_F(TavrinSoundCaptureTest, SquareWaveAndDirectSoundPlayAtTheirPitches)
{
    Played const run = Play(ThreeTonesImage(), 220);
    EXPECT_EQ(run.rateA.back(), 16384u);
    auto const &s = run.capture.samples;
    size_t const begin = run.capture.begin;
    auto const at = [&](double seconds) { return begin + size_t(seconds * kRate); };
    double const square = QuintarTest::RisingCrossingHertz(s, at(0.15), at(0.85), kRate);
    double const wave = QuintarTest::RisingCrossingHertz(s, at(1.15), at(1.85), kRate);
    ASSERT_EQ(run.mixed.size(), 220u);
    auto const span = run.Frames(150, 200);
    ASSERT_LE(span.second, run.capture.end);
    double const direct = QuintarTest::RisingCrossingHertz(s, span.first, span.second, kRate);
    EXPECT_NEAR(square, 439.8, 4.4);
    EXPECT_NEAR(wave, 256.0, 2.56);
    // Direct sound keeps to the machine: each frame's 280,896 cycles make
    // 274.3 samples, played in the output samples the host took for that
    // frame (735 when its device keeps exactly to the frames' 60 a second;
    // the disk driver runs a few percent slow).
    double const hostPerFrame = double(run.mixed[199] - run.mixed[149]) / 50;
    double const console = kRate * (280896.0 / 1024 / 32) / hostPerFrame;
    EXPECT_NEAR(direct, console, console * 0.005);
    std::printf("square 1 %.1f Hz, wave table %.1f Hz, direct sound A %.1f Hz (%.1f from the frames' pace), "
                "longest silence %zu samples\n",
                square, wave, direct, console, run.capture.longestSilence);
}

// A program in segments, each some frames long, one after another; a
// segment's stores are made in the frame its predecessors' waits end.
struct Segment {
    const char *what;
    int frames;
    std::function<void(SoundProgram &)> stores;
};

// Square 1 at about 1,000 Hz at six mixing settings; the noise at three
// clocks; direct sound A at 100 and 50%; then everything at full volume.
std::vector<Segment> MixSegments()
{
    auto const share = [](uint32_t cntL, uint32_t cntH) {
        return [=](SoundProgram &p) {
            p.Io16(0x080, cntL);
            p.Io16(0x082, cntH);
        };
    };
    auto const noise = [](uint32_t control) {
        return [=](SoundProgram &p) { p.Io16(0x07C, control); };
    };
    return {
        {"square, master 7, 100%", 15,
         [](SoundProgram &p) {
             p.Io16(0x084, 0x0080);        // sound on
             p.Io16(0x082, 0x0002);        // tone channels at 100%, direct sound nowhere
             p.Io16(0x080, 0x1177);        // square 1 to both sides, master volumes 7
             p.Io16(0x062, 0xF080);        // duty 50%, volume 15, no envelope
             p.Io16(0x064, 0x8000 | 1917); // 131,072 / 131 Hz
         }},
        {"square, master 7, 50%", 15, share(0x1177, 0x0001)},
        {"square, master 7, 25%", 15, share(0x1177, 0x0000)},
        {"square, master 3, 100%", 15, share(0x1133, 0x0002)},
        {"square, master 3, 50%", 15, share(0x1133, 0x0001)},
        {"square, master 3, 25%", 15,
         [](SoundProgram &p) {
             p.Io16(0x082, 0x0000);
             // The noise starts here, routed nowhere yet, so that it sounds
             // the moment the routing changes.
             p.Io16(0x078, 0xF000);        // volume 15, no envelope
             p.Io16(0x07C, 0x8000 | 0x69); // started
         }},
        {"noise 7-bit, ratio 1, shift 6", 20, share(0x8877, 0x0002)}, // only the noise, both sides
        {"noise 7-bit, ratio 5, shift 3", 20, noise(0x3D)},
        {"noise 15-bit, ratio 0, shift 1", 25, noise(0x10)},
        {"direct sound A at 100%", 15,
         [](SoundProgram &p) {
             p.Io16(0x080, 0x0077);     // no tone channel routed
             p.Io16(0x082, 0x0B06);     // A at 100% to both sides, timer 0, its FIFO reset
             p.Io32(0x0BC, SoundProgram::Samples);
             p.Io32(0x0C0, 0x040000A0);
             p.Io16(0x0C6, 0xB640);     // DMA 1: repeat, sound timing
             p.Io16(0x100, 0xFC00);
             p.Io16(0x102, 0x0080);     // timer 0: 16,384 samples a second
         }},
        {"direct sound A at 50%", 15, share(0x0077, 0x0302)},
        {"everything at full volume", 20,
         [](SoundProgram &p) {
             p.Io32(0x0C8, SoundProgram::Samples + 8);
             p.Io32(0x0CC, 0x040000A4);
             p.Io16(0x0D2, 0xB640);        // DMA 2 feeds B the same samples, shifted
             p.Io16(0x082, 0xB30E);        // A and B at 100% to both sides, both on timer 0
             p.Io16(0x068, 0xF080);        // square 2 as square 1
             p.Io16(0x06C, 0x8000 | 1917);
             p.Io32(0x090, 0xFFFFFFFF);    // the wave: 16 samples high, 16 low, in bank 1
             p.Io32(0x094, 0xFFFFFFFF);
             p.Io32(0x098, 0);
             p.Io32(0x09C, 0);
             p.Io16(0x072, 0x2000);        // 100%
             p.Io16(0x070, 0x00C0);
             p.Io16(0x074, 0x8000 | 1792);
             p.Io16(0x080, 0xFF77);        // all four tone channels to both sides, master 7
         }},
    };
}

TEST_F(TavrinSoundCaptureTest, TheConsolesProportionsNoiseClockAndDirectSound)
{
    std::vector<Segment> const segments = MixSegments();
    SoundProgram p;
    std::vector<int> start; // the frame each segment's stores are made in
    int frame = 0;
    for (Segment const &segment : segments) {
        start.push_back(frame);
        segment.stores(p);
        p.WaitFrames(uint32_t(segment.frames));
        frame += segment.frames;
    }
    p.Spin();
    // Ten frames more: what is still queued when the engine shuts down is
    // never played.
    Played const run = Play(p.Image(127, -128), frame + 10);
    auto const &s = run.capture.samples;
    ASSERT_EQ(run.mixed.size(), size_t(frame + 10));
    ASSERT_LE(run.Frames(1, frame).second, run.capture.end);
    // The middle of a segment, away from both changes.
    auto const middle = [&](size_t k) { return run.Frames(start[k] + 3, start[k] + segments[k].frames - 2); };

    // Levels against the square at master volume 7 and 100%: the master
    // volume counts 0-7 as one to eight eighths, the tone volume 100, 50
    // or 25%; 1 dB at most off.
    double const full = Rms(s, middle(0));
    EXPECT_NEAR(full, 3825, 3825 * 0.12) << "a tone channel at its loudest: 60 of 512 steps";
    double const expected[6] = {0, -6.02, -12.04, -6.02, -12.04, -18.06};
    for (size_t k = 1; k < 6; ++k)
        EXPECT_NEAR(Decibels(Rms(s, middle(k)), full), expected[k], 1.0) << segments[k].what;

    // The noise: its period (127 or 32,767 clock steps) in output samples.
    struct Noise {
        size_t segment;
        double clock;
        double steps;
    } const noises[] = {{6, 4096, 127}, {7, 524288.0 / 5 / 16, 127}, {8, 262144, 32767}};
    for (Noise const &n : noises) {
        double const period = n.steps * kRate / n.clock;
        size_t const lag = RepeatLag(s, middle(n.segment), size_t(period * 0.9), size_t(period * 1.1));
        double const clock = n.steps * kRate / double(lag);
        EXPECT_NEAR(clock, n.clock, n.clock * 0.02) << segments[n.segment].what;
        std::printf("%s: %.1f Hz (%.1f expected)\n", segments[n.segment].what, clock, n.clock);
    }

    // Direct sound: starts in the block of the frame whose stores start it,
    // at 100% its 8-bit sample of 127.5 against the square's 60 steps, and
    // 50% half of that.
    size_t const dsFrame = size_t(start[9]);
    ASSERT_LT(dsFrame, run.rateA.size());
    EXPECT_EQ(run.rateA[dsFrame - 1], 0u);
    EXPECT_EQ(run.rateA[dsFrame], 16384u) << "direct sound starts in the frame of its stores";
    size_t const blockStart = run.Index(run.mixed[dsFrame - 1]);
    size_t first = blockStart;
    while (first < s.size() && s[first] == 0)
        ++first;
    EXPECT_LT(first - blockStart, size_t(kRate / 60)) << "first sample within one frame of the store";
    double const direct = Rms(s, middle(9));
    EXPECT_NEAR(Decibels(direct, full), Decibels(127.5, 60), 1.0);
    EXPECT_NEAR(Decibels(Rms(s, middle(10)), direct), -6.02, 1.0);

    // Everything at once: loud, and never at the limits.
    auto const all = middle(11);
    int peak = 0;
    for (size_t i = all.first; i < all.second; ++i)
        peak = std::max(peak, std::abs(int(s[i])));
    EXPECT_GT(peak, 16000);
    EXPECT_LE(peak, (4 * 60 + 2 * 128) * 64) << "more than the six channels at their loudest";
    EXPECT_LT(peak, 32767) << "clipped";
    std::printf("square %.0f RMS; direct sound first heard %zu samples into its frame; all at once peak %d\n", full,
                first - blockStart, peak);
}

} // namespace
} // namespace Tavrin::Test
