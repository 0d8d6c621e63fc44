// Direct sound set up by a running program the way games do it: timer
// reload and start, the sound control selecting the timer, DMA 1 streaming
// to FIFO A with repeat and special timing, in every order of those writes.
// The channel must get its sample rate and its ring must fill from the DMA
// source.
#include "modules/tavrin/machine/tests/SoundProgram.h"

#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/harness/MachineHarness.h"
#include "modules/tavrin/harness/TestImage.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/SoundFifo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

namespace Tavrin {
namespace {

using Testing::SoundProgram;

// What the machine told the sound driver about channel A (driver channel 4).
struct ChannelA {
    const signed char *data = nullptr;
    int length = 0, rate = -1, frequency = -1, volume = -1;
};
ChannelA Heard;
// The mixer's play position the hook reports: half a ring ahead of the
// start, so the refill has 512 bytes of room.
const signed char *PlayPosition(int channel) { return channel == 4 && Heard.data ? Heard.data + 512 : nullptr; }
void RecordWave(int channel, const signed char *data, int length, int rate)
{
    if (channel == 4)
        Heard = {data, length, rate, Heard.frequency, Heard.volume};
}
void RecordTone(int channel, int frequency, int volume)
{
    if (channel == 4) {
        Heard.frequency = frequency;
        Heard.volume = volume;
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
        SoundHooks.wavePosition = &PlayPosition;
        savedState = SoundState;
        SoundState = 2; // the module's sound is open
    }
    void TearDown() override
    {
        machine.Stop();
        SoundHooks = savedHooks;
        SoundState = savedState;
    }

    // Starts the program and runs it for a few frames.
    void Run(SoundProgram const &program)
    {
        Heard = {};
        ASSERT_TRUE(machine.Start(folder.Write("sound.gba", program.Image())));
        ASSERT_EQ(machine.RunFrames(4), 4);
    }

    TestFolder folder;
    MachineHarness machine;
    SoundHookTable savedHooks{};
    uint32_t savedState = 0;
};

// 16780002 cycles a second, prescaler 1, 0x10000 - 0xFC00 counts a sample.
constexpr uint32_t kRate = 16780002u / 0x400;

// The four steps of the set-up for channel A on timer t.
using Step = std::function<void(SoundProgram &, uint32_t t)>;
void Reload(SoundProgram &p, uint32_t t) { p.Io16(0x100 + 4 * t, 0xFC00); }
void Start(SoundProgram &p, uint32_t t) { p.Io16(0x102 + 4 * t, 0x0080); }
// PSG at full, A at full volume on both outputs, its FIFO reset, timer t.
void Control(SoundProgram &p, uint32_t t) { p.Io16(0x082, 0x0B06 | t << 10); }
// Source the samples, destination FIFO A, 32-bit units, fixed destination,
// repeat, special timing, enabled.
void Dma(SoundProgram &p, uint32_t)
{
    p.Io32(0x0BC, SoundProgram::Samples);
    p.Io32(0x0C0, 0x040000A0);
    p.Io16(0x0C6, 0xB640);
}

void ExpectStreaming(std::string const &what)
{
    EXPECT_EQ(PcmRate[0], kRate) << what;
    EXPECT_EQ(Heard.rate, int(kRate)) << what;
    EXPECT_EQ(Heard.data, reinterpret_cast<const signed char *>(PcmBuffer[0])) << what;
    EXPECT_EQ(Heard.length, int(PcmBufferSize)) << what;
    EXPECT_EQ(Heard.frequency, 1) << what;
    EXPECT_EQ(Heard.volume, 255) << what;
    // The ring holds the samples up to the play position.
    ASSERT_NE(PcmBuffer[0], nullptr);
    EXPECT_EQ(PcmWritePos[0], 512u) << what;
    int wrong = 0;
    for (uint32_t i = 0; i < 512; ++i)
        wrong += int8_t(PcmBuffer[0][i]) != (i % 32 < 16 ? 100 : -100);
    EXPECT_EQ(wrong, 0) << what;
}

TEST_F(DirectSoundTest, EveryOrderOfTheSetUpStreamsChannelA)
{
    struct Named {
        char name;
        Step step;
    };
    std::array<Named, 4> steps = {{{'R', Reload}, {'S', Start}, {'C', Control}, {'D', Dma}}};
    for (uint32_t timer = 0; timer < 2; ++timer) {
        std::sort(steps.begin(), steps.end(), [](Named const &a, Named const &b) { return a.name < b.name; });
        do {
            SoundProgram program;
            std::string order;
            for (Named const &s : steps) {
                s.step(program, timer);
                order += s.name;
            }
            program.Spin();
            Run(program);
            ExpectStreaming("order " + order + ", timer " + std::to_string(timer));
        } while (std::next_permutation(steps.begin(), steps.end(),
                                       [](Named const &a, Named const &b) { return a.name < b.name; }));
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
    ExpectStreaming("word stores");
}

TEST_F(DirectSoundTest, StoppingTheTimerOrTheDmaSilencesTheChannel)
{
    struct Case {
        const char *what;
        uint32_t offset, value;
    } const cases[] = {
        {"timer stopped", 0x102, 0x0000},
        {"DMA disabled", 0x0C6, 0x3640},
        {"the other timer selected", 0x082, 0x0F06},
    };
    for (Case const &c : cases) {
        SoundProgram program;
        Control(program, 0);
        Dma(program, 0);
        Reload(program, 0);
        Start(program, 0);
        program.Io16(c.offset, c.value);
        program.Spin();
        Run(program);
        EXPECT_EQ(PcmRate[0], 0u) << c.what;
        EXPECT_EQ(Heard.rate, 0) << c.what;
        EXPECT_EQ(Heard.frequency, 0) << c.what;
    }
}

} // namespace
} // namespace Tavrin
