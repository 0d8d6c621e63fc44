// The mixer through the driver's hooks: the console's proportions (master
// volumes, tone volume, direct-sound volume, routing, bias), the noise
// clock and counters, direct sound following the machine's rings, the
// output formats, and the switches that silence a channel.
#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/module/SoundMixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Tavrin::Test {
namespace {

// A 50% square period as the generator sends it for a square channel.
signed char Square[32];
// A ring of 4096 samples the test writes as the machine would.
signed char Ring[4096];

class MixerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSoundMixer();
        InstallMixerHooks();
        for (int i = 0; i < 32; ++i)
            Square[i] = static_cast<signed char>(i < 16 ? 127 : -128);
        std::fill(std::begin(Ring), std::end(Ring), 0);
        written = 0;
    }
    void TearDown() override { SoundHooks = SoundHookTable{}; }

    // One block of 16-bit mono samples.
    std::vector<int16_t> Mix(int count) { return Mix(count, Settings()); }
    std::vector<int16_t> Mix(int count, MixSettings const &s)
    {
        std::vector<int16_t> out(size_t(count) + 1, 0x5A5A);
        EXPECT_EQ(MixSound(s, out.data(), count), count);
        EXPECT_EQ(out[size_t(count)], 0x5A5A); // nothing past the block
        out.pop_back();
        return out;
    }
    MixSettings Settings() const
    {
        MixSettings s;
        s.rate = 44100;
        s.console.written[0] = written;
        return s;
    }
    // Square 1 as the generator starts it: a 32-sample wave at 441 Hz.
    static void StartSquare(int channel = 0, int volume = 255)
    {
        SetWave(channel, Square, 32, 0);
        SetTone(channel, 441, volume);
    }
    // Direct sound A on the test's ring at 16,384 samples a second.
    static void StartDirect()
    {
        SetWave(4, Ring, 4096, 16384);
        SetTone(4, 1, 255);
    }
    // n more samples into the ring, in 32-sample periods: +100 then -100,
    // or a rising ramp (no two samples equal), or silence.
    enum Pattern { SquarePeriod, Ramp, Silence };
    void Write(uint32_t n, Pattern pattern = SquarePeriod)
    {
        for (uint32_t i = 0; i < n; ++i, ++written) {
            const int at = int(written % 32);
            const int v = pattern == Ramp ? at * 8 - 128 : pattern == Silence ? 0 : at < 16 ? 100 : -100;
            Ring[written % 4096] = static_cast<signed char>(v);
        }
    }
    static int Peak(std::vector<int16_t> const &s) { return *std::max_element(s.begin(), s.end()); }
    static int Trough(std::vector<int16_t> const &s) { return *std::min_element(s.begin(), s.end()); }
    // Rising crossings of 0 per second.
    static double Frequency(std::vector<int16_t> const &s, int rate)
    {
        int rises = 0, first = -1, last = -1;
        for (size_t i = 1; i < s.size(); ++i) {
            if (s[i - 1] < 0 && s[i] >= 0) {
                if (first < 0)
                    first = int(i);
                last = int(i);
                ++rises;
            }
        }
        return rises > 1 ? double(rises - 1) * rate / (last - first) : 0;
    }

    uint32_t written = 0;
};

TEST_F(MixerTest, EmptyBlockWritesNothing)
{
    int16_t sample = 0x5A5A;
    EXPECT_EQ(MixSound(Settings(), &sample, 0), 0);
    EXPECT_EQ(sample, 0x5A5A);
}

// A tone channel's sample of +127 at volume 15, master volume 7 and 100%
// on both sides: 60 x 127/128 of the console's steps, 64 host units each.
constexpr int kFullSquare = 3810;

TEST_F(MixerTest, ToneChannelsFollowMasterVolumeShareAndRouting)
{
    struct Case {
        const char *what;
        uint16_t cntL, cntH;
        int volume; // the channel's own, 0-255
        double level; // of kFullSquare
    } const cases[] = {
        {"master 7, 100%", 0x1177, 0x0002, 255, 1.0},
        {"master 7, 50%", 0x1177, 0x0001, 255, 0.5},
        {"master 7, 25%", 0x1177, 0x0000, 255, 0.25},
        {"master 3, 100%", 0x1133, 0x0002, 255, 0.5},
        {"master 3, 25%", 0x1133, 0x0000, 255, 0.125},
        {"master 0 is an eighth", 0x1100, 0x0002, 255, 0.125},
        {"left at 7, right at 3", 0x1137, 0x0002, 255, 0.75},
        {"left only: half in mono", 0x1077, 0x0002, 255, 0.5},
        {"routed nowhere", 0x2277, 0x0002, 255, 0.0},
        {"envelope at 7 of 15", 0x1177, 0x0002, 7 * 17, 7.0 / 15},
        {"the unused share plays as 100%", 0x1177, 0x0003, 255, 1.0},
    };
    for (Case const &c : cases) {
        ResetSoundMixer();
        StartSquare(0, c.volume);
        MixSettings s = Settings();
        s.console.soundCntL = c.cntL;
        s.console.soundCntH = c.cntH;
        auto const out = Mix(2000, s);
        EXPECT_NEAR(Peak(out), kFullSquare * c.level, 2) << c.what;
    }
}

TEST_F(MixerTest, DirectSoundAtHalfAndFullOnItsSides)
{
    struct Case {
        const char *what;
        uint16_t cntH;
        int level; // of a sample of 100, mono
    } const cases[] = {
        {"100% both sides", 0x0304, 100 * 64},
        {"50% both sides", 0x0300, 50 * 64},
        {"100% left only", 0x0204, 50 * 64},
        {"100% right only", 0x0104, 50 * 64},
        {"no side", 0x0004, 0},
        {"B's bits do not route A", 0x3008, 0},
    };
    for (Case const &c : cases) {
        ResetSoundMixer();
        written = 0;
        StartDirect();
        Mix(100); // in step with the ring
        Write(2000);
        MixSettings s = Settings();
        s.console.soundCntH = c.cntH;
        auto const out = Mix(735, s);
        EXPECT_NEAR(Peak(out), c.level, 1) << c.what;
    }
}

TEST_F(MixerTest, NothingClipsWithEverythingAtItsLoudest)
{
    // Four tone channels and both direct-sound channels at their peaks
    // together: 4 x 60 + 2 x 128 steps fit in 512 around the usual bias.
    static signed char high[32];
    std::fill(std::begin(high), std::end(high), 127);
    static signed char low[32];
    std::fill(std::begin(low), std::end(low), -128);
    for (signed char const *wave : {high, low}) {
        ResetSoundMixer();
        for (int c = 0; c < 3; ++c) {
            SetWave(c, wave, 32, 0);
            SetTone(c, 441, 255);
        }
        SetWave(3, wave, 32, 0); // a wave on the noise's channel, to hold it at its peak
        SetTone(3, 441, 255);
        SetWave(4, wave, 32, 16384);
        SetWave(5, wave, 32, 16384);
        SetTone(4, 1, 255);
        SetTone(5, 1, 255);
        MixSettings s = Settings();
        s.console.written[0] = s.console.written[1] = 16;
        auto const out = Mix(10, s);
        const int expected = wave == high ? (4 * 60 + 2 * 128) * 64 * 127 / 128 : -(4 * 60 + 2 * 128) * 64;
        EXPECT_NEAR(out[5], expected, 8);
        EXPECT_LT(std::abs(int(out[5])), 32767);
    }
}

TEST_F(MixerTest, BiasSetsWhereTheOutputIsLimited)
{
    struct Case {
        uint16_t bias;
        int peak, trough;
    } const cases[] = {
        {0x200, kFullSquare, -3840},
        {0x000, kFullSquare, 0},      // the lower half is cut off
        {0x3FE, 64, -3840},           // only one step above it
        {0xFC00 | 0x200, kFullSquare, -3840}, // the resolution bits leave the level alone
    };
    for (Case const &c : cases) {
        ResetSoundMixer();
        StartSquare();
        MixSettings s = Settings();
        s.console.soundBias = c.bias;
        auto const out = Mix(2000, s);
        EXPECT_NEAR(Peak(out), c.peak, 2) << std::hex << c.bias;
        EXPECT_NEAR(Trough(out), c.trough, 2) << std::hex << c.bias;
    }
}

TEST_F(MixerTest, OutputFormats)
{
    StartSquare();
    MixSettings s = Settings();
    s.console.soundCntL = 0x1077; // left only
    s.stereo = true;
    std::array<int16_t, 2000> stereo{};
    ASSERT_EQ(MixSound(s, stereo.data(), 1000), 1000);
    int16_t left = 0, right = 0;
    for (size_t i = 0; i < stereo.size(); i += 2) {
        left = std::max(left, stereo[i]);
        right = std::max(right, stereo[i + 1]);
    }
    EXPECT_EQ(left, kFullSquare);
    EXPECT_EQ(right, 0);

    ResetSoundMixer();
    StartSquare();
    s = Settings();
    s.bits = 8;
    std::array<uint8_t, 1001> bytes{};
    bytes.back() = 0xAA;
    ASSERT_EQ(MixSound(s, bytes.data(), 1000), 1000);
    EXPECT_EQ(bytes.back(), 0xAA);
    EXPECT_EQ(*std::max_element(bytes.begin(), bytes.end() - 1), 128 + (kFullSquare >> 8));
    EXPECT_EQ(*std::min_element(bytes.begin(), bytes.end() - 1), 128 - 15);

    // The host's volume scales the result.
    ResetSoundMixer();
    StartSquare();
    s = Settings();
    s.volume = 50;
    EXPECT_NEAR(Peak(Mix(1000, s)), kFullSquare / 2, 1);
}

TEST_F(MixerTest, SilencesTable)
{
    struct Case {
        const char *what;
        int type, frequency;
        bool enabled, noise;
        int volume;
        uint16_t soundCntX;
    } const cases[] = {
        {"tone at a third of the rate", SoundTypeTone, 14700, true, true, 100, 0x80},
        {"channel switched off", SoundTypeTone, 440, false, true, 100, 0x80},
        {"noise while Noise is off", SoundTypeNoise, 8192, true, false, 100, 0x80},
        {"host volume 0", SoundTypeTone, 440, true, true, 0, 0x80},
        {"the console's sound off", SoundTypeTone, 440, true, true, 100, 0x00},
    };
    for (Case const &c : cases) {
        ResetSoundMixer();
        SetSound(2, c.type);
        SetTone(2, c.frequency, 255);
        std::array<bool, kMixChannels> enabled{};
        enabled.fill(true);
        enabled[2] = c.enabled;
        MixSettings s = Settings();
        s.channelEnabled = enabled.data();
        s.noise = c.noise;
        s.volume = c.volume;
        s.console.soundCntX = c.soundCntX;
        s.console.noiseControl = 0x22;
        for (int16_t v : Mix(1000, s))
            ASSERT_EQ(v, 0) << c.what;
    }
}

TEST_F(MixerTest, WaveToneKeepsItsPitchAndAliasingTonesAreDropped)
{
    SetWave(2, Square, 32, 0);
    SetTone(2, 256, 255);
    EXPECT_NEAR(Frequency(Mix(8192), 44100), 256, 256 * 0.01);
    // A square at 131,072 Hz (the top of the register) can only alias.
    SetTone(2, 131072, 255);
    for (int16_t v : Mix(1000))
        ASSERT_EQ(v, 0);
}

// The noise register stepped once per output sample: 7-bit counters repeat
// every 127 steps, 15-bit ones every 32,767, each with 64 and 16,384
// changes of level a period.
TEST_F(MixerTest, NoiseCountersAsTheConsoles)
{
    struct Case {
        uint8_t control;
        int period, changes;
    } const cases[] = {{0x38, 127, 64}, {0x30, 32767, 16384}};
    for (Case const &c : cases) {
        ResetSoundMixer();
        SetSound(3, SoundTypeNoise);
        SetTone(3, 32768, 255);
        MixSettings s = Settings();
        s.rate = 32768; // 524,288 / 1 / 2^4: one step a sample for shift 3, ratio 1
        s.console.noiseControl = uint8_t(c.control | 1);
        std::vector<int16_t> out;
        while (out.size() < size_t(2 * c.period + 10)) {
            auto const block = Mix(8192, s);
            out.insert(out.end(), block.begin(), block.end());
        }
        int changes = 0, repeats = 0;
        for (int i = 1; i <= c.period; ++i)
            changes += (out[size_t(i)] > 0) != (out[size_t(i - 1)] > 0);
        for (int i = 0; i < c.period; ++i)
            repeats += out[size_t(i)] == out[size_t(i + c.period)];
        EXPECT_EQ(changes, c.changes) << c.period;
        EXPECT_EQ(repeats, c.period) << c.period;
    }
}

TEST_F(MixerTest, EveryNoiseControlPlaysAtItsClockOrStops)
{
    for (int control = 0; control < 256; ++control) {
        ResetSoundMixer();
        SetSound(3, SoundTypeNoise);
        SetTone(3, 1, 255);
        MixSettings s = Settings();
        s.rate = 8000;
        s.console.noiseControl = uint8_t(control);
        auto const out = Mix(4000, s);
        int changes = 0;
        for (size_t i = 1; i < out.size(); ++i)
            changes += out[i] != out[i - 1];
        const int shift = control >> 4;
        if (shift >= 14) {
            EXPECT_EQ(changes, 0) << "a stopped clock is silent: " << control;
        } else if (shift <= 4) {
            EXPECT_GT(changes, 400) << control;
        }
    }
}

TEST_F(MixerTest, DirectSoundStartsWithTheSamplesQueuedSinceTheLastBlock)
{
    StartDirect();
    SetTone(4, 0, 0); // not started: the machine plays silence, the mixer keeps up
    Write(500, Silence);
    Mix(735);
    SetTone(4, 1, 255);
    Write(274); // one frame of the console at 16,384 a second
    auto const out = Mix(735);
    // The first new sample within the first few output samples, and all
    // of the frame's samples in the block.
    size_t first = 0;
    while (first < out.size() && out[first] == 0)
        ++first;
    EXPECT_LT(first, 16u);
    EXPECT_EQ(Peak(out), 100 * 64);
    EXPECT_LE(written - SoundMixer.channel[4].readCount, 32u);
}

TEST_F(MixerTest, DirectSoundFollowsTheRingWithoutDriftOrGaps)
{
    // The console writes 274.3 samples a frame (59.73 frames a second);
    // the host asks for 735 samples a frame at 60, or fewer or more when
    // its device runs slow or fast: the mixer must take all the samples,
    // at that pace, neither running dry nor falling behind.
    for (int const hostPerFrame : {735, 700, 770}) {
        ResetSoundMixer();
        written = 0;
        StartDirect();
        Mix(hostPerFrame);
        std::vector<int16_t> all;
        double due = 0;
        for (int frame = 0; frame < 600; ++frame) {
            due += 16384.0 * 280896 / (1 << 24);
            Write(uint32_t(due) - written, Ramp);
            auto const out = Mix(hostPerFrame);
            all.insert(all.end(), out.begin(), out.end());
            const uint32_t lag = written - SoundMixer.channel[4].readCount;
            ASSERT_LT(lag, frame < 60 ? 64u : 32u) << hostPerFrame << " a frame, frame " << frame;
        }
        // After the first second the ramp plays without a hold: no output
        // sample on a rising stretch repeats the one before. (Across the
        // ramp's drop two samples may meet by chance.)
        size_t const settled = size_t(hostPerFrame) * 60;
        auto const rising = [](int d) { return d >= 0 && d < 1000; };
        int holds = 0;
        for (size_t i = settled + 2; i + 1 < all.size(); ++i)
            holds += all[i] == all[i - 1] && rising(all[i - 1] - all[i - 2]) && rising(all[i + 1] - all[i]);
        EXPECT_EQ(holds, 0) << hostPerFrame;
        double const pitch = 44100.0 * 274.3125 / hostPerFrame / 32;
        EXPECT_NEAR(Frequency(std::vector<int16_t>(all.begin() + std::ptrdiff_t(settled), all.end()), 44100), pitch,
                    pitch * 0.003)
            << hostPerFrame;
    }
}

TEST_F(MixerTest, DirectSoundFarBehindTakesUpTheNewest)
{
    StartDirect();
    Mix(735);
    written = 1000000; // a new machine, or sound turned on late
    Write(300);
    Mix(735);
    EXPECT_LT(written - SoundMixer.channel[4].readCount, 32u);
    EXPECT_EQ(GetWavePosition(4), Ring + SoundMixer.channel[4].readCount % 4096);
}

TEST_F(MixerTest, AnyControlRegistersMixInRange)
{
    // Every value of the sound control's high half (and the same in the
    // low half, the bias and the noise control) with all six channels
    // playing: no read outside the waves and the ring, output in range.
    for (int c = 0; c < 3; ++c)
        StartSquare(c);
    SetSound(3, SoundTypeNoise);
    SetTone(3, 1, 255);
    StartDirect();
    SetWave(5, Ring, 4096, 32768);
    SetTone(5, 1, 255);
    for (uint32_t v = 0; v < 0x10000; ++v) {
        Write(3);
        MixSettings s = Settings();
        s.console.soundCntH = uint16_t(v);
        s.console.soundCntL = uint16_t(v * 7);
        s.console.soundBias = uint16_t(v * 13);
        s.console.noiseControl = uint8_t(v);
        s.console.written[1] = written * 2;
        s.stereo = v & 1;
        std::array<int16_t, 16> out{};
        ASSERT_EQ(MixSound(s, out.data(), 8), 8);
    }
}

TEST_F(MixerTest, WavePositionOnlyForSampledWaves)
{
    static signed char wave[32];
    SetWave(0, wave, 32, 0);
    EXPECT_EQ(GetWavePosition(0), nullptr); // a tone's wave
    SetWave(1, wave, 32, 8000);
    EXPECT_NE(GetWavePosition(1), nullptr);
    SetSound(1, SoundTypeTone);
    EXPECT_EQ(GetWavePosition(1), nullptr);
    EXPECT_EQ(GetWavePosition(7), nullptr);
}

TEST_F(MixerTest, HugeFrequenciesAndRatesStayInRange)
{
    // Steps computed in 64 bits: no division by zero, no wrap, no read
    // outside the waves.
    static signed char wave[32];
    for (int i = 0; i < 32; ++i)
        wave[i] = static_cast<signed char>(i * 8 - 128);
    SetWave(3, wave, 32, 2000000000);
    SetTone(3, 2000000000, 255);
    SetWave(4, wave, 32, 2000000000);
    SetTone(4, 1, 255);
    SetWave(5, wave, 2, 1);
    SetTone(5, 1, 255);
    MixSettings s = Settings();
    s.rate = 48000;
    s.console.written[0] = 0xFFFFFFF0;
    s.console.written[1] = 3;
    EXPECT_EQ(Mix(1000, s).size(), 1000u);
    SetWave(2, wave, 32, 0);
    SetTone(2, 131071, 255);
    EXPECT_EQ(Mix(8192, s).size(), 8192u);
}

} // namespace
} // namespace Tavrin::Test
