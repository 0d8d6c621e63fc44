#include "modules/sounddriver/SoundDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace SoundDriver::Test {
namespace {

struct Call {
    std::string hook;
    int a, b, c;
    bool operator==(const Call &) const = default;
};

std::vector<Call> calls;
const signed char *lastWave;
signed char waveSamples[4] = {1, -1, 2, -2};

void recordSetSound(int channel, int type) { calls.push_back({"sound", channel, type, 0}); }
void recordDrum(int type, int force) { calls.push_back({"drum", type, force, 0}); }
void recordTone(int channel, int f, int v) { calls.push_back({"tone", channel, f, v}); }
void recordWave(int channel, const signed char *data, int length, int rate)
{
    lastWave = data;
    calls.push_back({"wave", channel, length, rate});
}
const signed char *position(int channel) { return waveSamples + channel; }

class SoundDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls.clear();
        SoundHooks = {recordSetSound, recordDrum, [] {}, recordTone, recordWave, position};
    }
    void TearDown() override { SoundHooks = {}; }
};

TEST_F(SoundDriverTest, ClampsValuesBeforeTheHooks)
{
    struct Case {
        void (*call)();
        std::vector<Call> expected;
    } cases[] = {
        {[] { SetTone(1, 440, 300); }, {{"tone", 1, 440, 255}}},
        {[] { SetTone(1, 440, -5); }, {{"tone", 1, 440, 0}}},
        {[] { SetTone(2, -1, 100); }, {{"tone", 2, 0, 100}}},
        {[] { SetTone(2, 0, 100); }, {{"tone", 2, 0, 100}}},
        {[] { SetTone(-1, 440, 100); }, {}},
        {[] { SetSound(3, SoundTypeNoise); }, {{"sound", 3, 2, 0}}},
        {[] { SetSound(-1, SoundTypeTone); }, {}},
        {[] { Drum(7, 1000); }, {{"drum", 7, 255, 0}}},
        {[] { Drum(-3, -4); }, {{"drum", -3, 0, 0}}},
        {[] { SetWave(4, waveSamples, 4, 22050); }, {{"wave", 4, 4, 22050}}},
        {[] { SetWave(4, waveSamples, 0, 22050); }, {}},
        {[] { SetWave(-2, waveSamples, 4, 0); }, {}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        calls.clear();
        cases[i].call();
        EXPECT_EQ(calls, cases[i].expected) << "case " << i;
    }
}

TEST_F(SoundDriverTest, WavesAreBorrowedNotCopied)
{
    SetWave(0, waveSamples, 4, 0);
    EXPECT_EQ(lastWave, waveSamples);
    EXPECT_EQ(GetWavePosition(2), waveSamples + 2);
}

TEST_F(SoundDriverTest, MissingHooksAreSkipped)
{
    SoundHooks = {};
    SetSound(0, 0);
    SetTone(0, 100, 100);
    SetWave(0, waveSamples, 4, 0);
    Drum(0, 0);
    EXPECT_EQ(GetWavePosition(0), nullptr);
    EXPECT_TRUE(calls.empty());
}

TEST_F(SoundDriverTest, StartUpAndFrameCallsLeaveHooksAlone)
{
    InitSoundDriver("LOG.MID");
    InitSoundDriver(nullptr);
    MidiTicks(16);
    MidiClose();
    EXPECT_TRUE(calls.empty());
    SetTone(0, 1, 1);
    EXPECT_EQ(calls.size(), 1u);
}

} // namespace
} // namespace SoundDriver::Test
