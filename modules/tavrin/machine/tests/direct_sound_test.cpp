// Direct sound set up by a running program the way games do it: timer
// reload and start, the sound control selecting the timer, DMA 1 (2)
// streaming to FIFO A (B) with repeat and special timing, in every order of
// those writes. The channel must get its sample rate and play the DMA
// source's bytes in order into its ring.
#include "modules/tavrin/testing/SoundProgram.h"

#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/files/StateFile.h"
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/TestImage.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/SoundFifo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <vector>

namespace Tavrin::Test {
namespace {

using Tavrin::Test::SoundProgram;

// What the machine told the sound driver about channels A and B (driver
// channels 4 and 5).
struct DriverChannel {
    const signed char *data = nullptr;
    int length = 0, rate = -1, frequency = -1, volume = -1;
};
DriverChannel Heard[2];
DriverChannel *HeardOf(int channel) { return channel == 4 || channel == 5 ? &Heard[channel - 4] : nullptr; }
void RecordWave(int channel, const signed char *data, int length, int rate)
{
    if (DriverChannel *heard = HeardOf(channel)) {
        heard->data = data;
        heard->length = length;
        heard->rate = rate;
    }
}
void RecordTone(int channel, int frequency, int volume)
{
    if (DriverChannel *heard = HeardOf(channel)) {
        heard->frequency = frequency;
        heard->volume = volume;
    }
}

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedHooks = SoundHooks;
        SoundHooks = SoundHookTable{};
        SoundHooks.setWave = &RecordWave;
        SoundHooks.setTone = &RecordTone;
    }
    void TearDown() override
    {
        machine.Stop();
        SoundHooks = savedHooks;
    }

    // Starts the program and runs it for a few frames.
    void Run(SoundProgram const &program)
    {
        Heard[0] = Heard[1] = {};
        ASSERT_TRUE(machine.Start(folder.Write("sound.gba", program.Image())));
        ASSERT_EQ(machine.RunFrames(4), 4);
    }

    TestFolder folder;
    MachineHarness machine;
    SoundHookTable savedHooks{};
};

// 2^24 cycles a second, prescaler 1, 0x10000 - 0xFC00 counts a sample.
constexpr uint32_t kRate = (1u << 24) / 0x400;

// The four steps of the set-up for channel c (0 A, 1 B) on timer t.
using Step = std::function<void(SoundProgram &, uint32_t c, uint32_t t)>;
void Reload(SoundProgram &p, uint32_t, uint32_t t) { p.Io16(0x100 + 4 * t, 0xFC00); }
void Start(SoundProgram &p, uint32_t, uint32_t t) { p.Io16(0x102 + 4 * t, 0x0080); }
// PSG at full; the channel at full volume on both outputs, its FIFO reset,
// on timer t.
void Control(SoundProgram &p, uint32_t c, uint32_t t)
{
    p.Io16(0x082, 0x0002 | (c ? 0xB008 | t << 14 : 0x0B04 | t << 10));
}
// Source the samples, destination the channel's FIFO, 32-bit units, fixed
// destination, repeat, special timing, enabled: DMA 1 for A, DMA 2 for B.
void Dma(SoundProgram &p, uint32_t c, uint32_t)
{
    p.Io32(0x0BC + 12 * c, SoundProgram::Samples);
    p.Io32(0x0C0 + 12 * c, 0x040000A0 + 4 * c);
    p.Io16(0x0C6 + 12 * c, 0xB640);
}

void ExpectStreaming(uint32_t c, std::string const &what)
{
    DriverChannel const &heard = Heard[c];
    EXPECT_EQ(PcmRate[c], kRate) << what;
    EXPECT_EQ(heard.rate, int(kRate)) << what;
    EXPECT_EQ(heard.data, reinterpret_cast<const signed char *>(PcmBuffer[c])) << what;
    EXPECT_EQ(heard.length, int(PcmBufferSize)) << what;
    EXPECT_EQ(heard.frequency, 1) << what;
    EXPECT_EQ(heard.volume, 255) << what;
    // The other channel, routed nowhere and fed by nothing, plays silence.
    EXPECT_EQ(Heard[1 - c].volume, 0) << what;
    uint32_t other = 0;
    for (uint32_t i = 0; i < PcmBufferSize; ++i)
        other += PcmBuffer[1 - c][i] != 0;
    EXPECT_EQ(other, 0u) << what;
    // What the ring got: held silence until the DMA's first bytes, then the
    // source's bytes in order, none lost or played twice.
    ASSERT_NE(PcmBuffer[c], nullptr);
    const uint32_t played = PcmWritten[c];
    ASSERT_LT(played, PcmBufferSize) << what;
    EXPECT_GT(played, 3 * 274u) << what << ": about 274 a frame";
    uint32_t first = 0;
    while (first < played && PcmBuffer[c][first] == 0)
        ++first;
    EXPECT_LT(first, 280u) << what << ": at most a frame before the DMA runs";
    int wrong = 0;
    for (uint32_t i = first; i < played; ++i)
        wrong += int8_t(PcmBuffer[c][i]) != ((i - first) % 32 < 16 ? 100 : -100);
    EXPECT_EQ(wrong, 0) << what;
    EXPECT_EQ(FifoSource[c] - SoundProgram::Samples, played - first + Fifo[c].count) << what;
}

TEST_F(DirectSoundTest, EveryOrderOfTheSetUpStreamsTheChannel)
{
    struct Named {
        char name;
        Step step;
    };
    auto const byName = [](Named const &a, Named const &b) { return a.name < b.name; };
    std::array<Named, 4> steps = {{{'C', Control}, {'D', Dma}, {'R', Reload}, {'S', Start}}};
    for (uint32_t channel = 0; channel < 2; ++channel) {
        for (uint32_t timer = 0; timer < 2; ++timer) {
            do {
                SoundProgram program;
                std::string order;
                for (Named const &s : steps) {
                    s.step(program, channel, timer);
                    order += s.name;
                }
                program.Spin();
                Run(program);
                ExpectStreaming(channel, std::string("channel ") + "AB"[channel] + ", timer " + std::to_string(timer) +
                                             ", order " + order);
            } while (std::next_permutation(steps.begin(), steps.end(), byName));
        }
    }
}

TEST_F(DirectSoundTest, WordStoresSetUpTheChannelToo)
{
    // The timer's reload and control in one word, and the DMA's count and
    // control in one word, as compilers often store them.
    SoundProgram program;
    program.Io16(0x082, 0x0B06);
    program.Io32(0x0BC, SoundProgram::Samples);
    program.Io32(0x0C0, 0x040000A0);
    program.Io32(0x0C4, 0xB6400000);
    program.Io32(0x100, 0x0080FC00);
    program.Spin();
    Run(program);
    ExpectStreaming(0, "word stores");
}

TEST_F(DirectSoundTest, AStateSavedWhileStreamingPlaysOnAsBefore)
{
    // The state keeps the FIFO and where the sound DMA reads: after a load
    // the same samples play as after the save.
    SoundProgram program;
    Control(program, 0, 0);
    Dma(program, 0, 0);
    Reload(program, 0, 0);
    Start(program, 0, 0);
    program.Spin();
    Run(program);
    const std::string state = folder.Path("streaming.state");
    ASSERT_EQ(SaveStateFile(state.c_str()), 1);
    const uint32_t source = FifoSource[0], start = PcmWritten[0];
    const DirectFifo fifo = Fifo[0];
    auto const playedSince = [&](uint32_t from) {
        std::vector<uint8_t> out;
        for (uint32_t i = from; i != PcmWritten[0]; ++i)
            out.push_back(PcmBuffer[0][i % PcmBufferSize]);
        return out;
    };
    ASSERT_EQ(machine.RunFrames(4), 4);
    const uint32_t read = FifoSource[0] - source;
    const std::vector<uint8_t> before = playedSince(start);
    ASSERT_EQ(LoadStateFile(state.c_str()), 1);
    EXPECT_EQ(FifoSource[0], source);
    EXPECT_EQ(std::memcmp(&Fifo[0], &fifo, sizeof fifo), 0);
    const uint32_t again = PcmWritten[0];
    ASSERT_EQ(machine.RunFrames(4), 4);
    EXPECT_EQ(FifoSource[0] - source, read);
    EXPECT_EQ(playedSince(again), before);
    EXPECT_GT(before.size(), 4 * 270u);
    EXPECT_EQ(PcmRate[0], kRate);
}

TEST_F(DirectSoundTest, StoppingTheTimerOrTheDmaSilencesTheChannel)
{
    struct Case {
        const char *what;
        uint32_t offset, value;
        uint32_t rate;
    } const cases[] = {
        {"timer stopped", 0x102, 0x0000, 0},
        {"DMA disabled", 0x0C6, 0x3640, kRate},
        {"the other timer selected", 0x082, 0x0F06, 0},
    };
    for (Case const &c : cases) {
        SoundProgram program;
        Control(program, 0, 0);
        Dma(program, 0, 0);
        Reload(program, 0, 0);
        Start(program, 0, 0);
        program.Io16(c.offset, c.value);
        program.Spin();
        Run(program);
        EXPECT_EQ(PcmRate[0], c.rate) << c.what;
        EXPECT_EQ(Heard[0].frequency, c.rate ? 1 : 0) << c.what;
        // The store came before the first overflow: nothing was fetched,
        // nothing but silence played.
        EXPECT_EQ(FifoSource[0], SoundProgram::Samples) << c.what;
        uint32_t sound = 0;
        for (uint32_t i = 0; i < PcmBufferSize; ++i)
            sound += PcmBuffer[0][i] != 0;
        EXPECT_EQ(sound, 0u) << c.what;
    }
}

} // namespace
} // namespace Tavrin::Test
