// The direct-sound FIFOs: what stores queue, what each timer overflow plays
// into the channel's ring, when and how the sound DMA refills them, the
// reset bits, and the rates the mixer is told.
#include "modules/tavrin/testing/MachineFixture.h"

#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/Timers.h"

#include <vector>

namespace Tavrin::Test {
namespace {

constexpr uint32_t Ewram = 0x02000000;

int ToneOn[8];
void RecordTone(int channel, int frequency, int) { ToneOn[channel & 7] = frequency; }

class SoundFifoTest : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        saved = SoundHooks;
        SoundHooks.setTone = &RecordTone;
        // Source bytes 0, 1, 2 ... in external work RAM.
        for (uint32_t i = 0; i < 0x400; i += 4)
            BusWrite32(Ewram + i, (i & 0xFF) | ((i + 1) & 0xFF) << 8 | ((i + 2) & 0xFF) << 16 | ((i + 3) & 0xFF) << 24);
    }
    void TearDown() override { SoundHooks = saved; }

    // DMA 1 (channel A) or 2 (B) from source to the FIFO with the sound timing.
    static void ArmDma(uint32_t channel, uint32_t source, uint32_t control)
    {
        BusWrite32(0x040000BC + 12 * channel, source);
        BusWrite32(0x040000C0 + 12 * channel, 0x040000A0 + 4 * channel);
        BusWrite16(0x040000C6 + 12 * channel, control);
    }
    // The last n samples channel c put into its ring, oldest first.
    static std::vector<int> Played(uint32_t c, uint32_t n)
    {
        std::vector<int> out;
        const uint32_t size = PcmBufferSize & ~3u;
        for (uint32_t k = n; k > 0; --k)
            out.push_back(int8_t(PcmBuffer[c][(PcmWritePos[c] + size - k) % size]));
        return out;
    }

    SoundHookTable saved{};
};

TEST_F(SoundFifoTest, StoresQueueAndEachOverflowPlaysTheNextByte)
{
    BusWrite16(0x04000082, 0x0000); // A and B on timer 0
    BusWrite32(0x040000A0, 0x04030201);
    BusWrite16(0x040000A2, 0x0605);  // a halfword store queues two bytes
    BusWrite32(0x040000A4, 0xFDFEFF7F);
    EXPECT_EQ(Fifo[0].count, 6u);
    EXPECT_EQ(Fifo[1].count, 4u);
    PlayFifoSamples(0, 4);
    EXPECT_EQ(Played(0, 4), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(Played(1, 4), (std::vector<int>{127, -1, -2, -3}));
    // Run dry, a channel holds its last sample.
    PlayFifoSamples(0, 5);
    EXPECT_EQ(Played(0, 5), (std::vector<int>{5, 6, 6, 6, 6}));
    EXPECT_EQ(Played(1, 5), (std::vector<int>{-3, -3, -3, -3, -3}));
    EXPECT_EQ(PcmWritten[0], 9u);
    // Timer 1 drives neither channel.
    PlayFifoSamples(1, 3);
    EXPECT_EQ(PcmWritten[0], 9u);
}

TEST_F(SoundFifoTest, AFullFifoTakesNoMoreAndResetBitsEmptyTheirChannel)
{
    for (uint32_t i = 0; i < 9; ++i) {
        BusWrite32(0x040000A0, 0x01010101 * (i + 1));
        BusWrite32(0x040000A4, 0x01010101 * (i + 1));
    }
    EXPECT_EQ(Fifo[0].count, FifoBytes) << "eight words fit, the ninth is dropped";
    PlayFifoSamples(0, 32);
    EXPECT_EQ(Played(0, 1)[0], 8) << "the last byte played is the eighth word's";
    BusWrite32(0x040000A0, 0x55555555);
    BusWrite16(0x04000082, 0x0800); // reset A only
    EXPECT_EQ(Fifo[0].count, 0u);
    EXPECT_EQ(Fifo[0].playing, 0) << "a reset channel is silent";
    BusWrite32(0x040000A4, 0x66666666);
    BusWrite16(0x04000082, 0x8000); // reset B only
    EXPECT_EQ(Fifo[1].count, 0u);
}

TEST_F(SoundFifoTest, HalfEmptyFifoAsksItsDmaForFourWords)
{
    BusWrite16(0x04000082, 0x0000);
    ArmDma(0, Ewram, 0xB640 | 0x4000); // 32-bit, fixed destination, repeat, sound timing, interrupt
    BusWrite16(0x04000202, 0xFFFF);
    PlayFifoSamples(0, 1);
    // Empty at the overflow: the request comes first, then the byte plays;
    // 15 left is at most half, so a second request follows at once.
    EXPECT_EQ(FifoSource[0], Ewram + 32);
    EXPECT_EQ(Fifo[0].count, 31u);
    EXPECT_EQ(IoGet(Io::If) & 0x200, 0x200u);
    // 1000 samples later every byte played is the next of the source, in
    // order, and the FIFO keeps between 17 and 32 bytes.
    PlayFifoSamples(0, 1000);
    const std::vector<int> played = Played(0, 1001);
    int wrong = 0;
    for (uint32_t i = 0; i < played.size(); ++i)
        wrong += played[i] != int8_t(i & 0xFF);
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(Fifo[0].count, 16u);
    EXPECT_EQ(FifoSource[0] - Ewram, 1001 + Fifo[0].count);
    EXPECT_EQ(IoGet(Io::DmaControl(1)) & 0x8000, 0x8000u) << "repeat keeps it enabled";
}

TEST_F(SoundFifoTest, SourceStepsAndOneShotRequests)
{
    struct Case {
        const char *what;
        uint32_t control;
        uint32_t source; // after one request
        bool enabled;
    } const cases[] = {
        {"increment", 0xB600, Ewram + 0x110, true},
        {"decrement", 0xB680, Ewram + 0x100 - 16, true},
        {"fixed", 0xB700, Ewram + 0x100, true},
        {"no repeat", 0xB400, Ewram + 0x110, false},
    };
    for (const Case &c : cases) {
        BusWrite16(0x040000C6, 0);
        ArmDma(0, Ewram + 0x100, c.control);
        BusWrite16(0x04000082, 0x0800); // FIFO A reset
        EXPECT_TRUE(RefillSoundFifo(0)) << c.what;
        EXPECT_EQ(FifoSource[0], c.source) << c.what;
        EXPECT_EQ(Fifo[0].count, 16u) << c.what;
        EXPECT_EQ((IoGet(Io::DmaControl(1)) & 0x8000) != 0, c.enabled) << c.what;
    }
    BusWrite16(0x040000C6, 0xA600); // horizontal-blank timing is not the FIFO's
    EXPECT_FALSE(RefillSoundFifo(0));
}

TEST_F(SoundFifoTest, HugeOverflowCountsStayInTheRing)
{
    BusWrite32(0x040000A0, 0x7F7F7F7F);
    PlayFifoSamples(0, 3);
    // Without DMA the held sample fills the ring; with DMA every request
    // is served. Neither writes outside the ring or the FIFO.
    PlayFifoSamples(0, uint64_t(1) << 36);
    EXPECT_EQ(Played(0, PcmBufferSize & ~3u), std::vector<int>(PcmBufferSize & ~3u, 127));
    EXPECT_EQ(PcmWritten[0], uint32_t(3 + (uint64_t(1) << 36)));
    ArmDma(0, Ewram, 0xB600);
    PlayFifoSamples(0, 100000);
    EXPECT_LE(Fifo[0].count, FifoBytes);
    EXPECT_LT(PcmWritePos[0], PcmBufferSize);
}

TEST_F(SoundFifoTest, AnySoundControlAndDmaTimingWhileStreaming)
{
    // Every sound control value, with the DMA's timing and the timer
    // changed under it now and then: the FIFOs and rings stay whole.
    static const uint32_t Timings[] = {0xB640, 0x8640, 0x9640, 0xA640, 0x3640, 0xB6C0, 0xB400};
    BusWrite16(0x040000C4, 4);
    ArmDma(0, Ewram, 0xB640);
    ArmDma(1, Ewram + 0x80, 0xB640);
    for (uint32_t v = 0; v < 0x10000; ++v) {
        BusWrite16(0x04000082, v);
        if (v % 64 == 0) {
            BusWrite16(0x040000C6, Timings[(v / 64) % std::size(Timings)]);
            BusWrite16(0x040000D2, Timings[(v / 128) % std::size(Timings)]);
            BusWrite16(0x04000100 + 4 * (v >> 6 & 1), v);
            BusWrite16(0x04000102 + 4 * (v >> 6 & 1), 0x80 | (v >> 7 & 7));
            BusWrite32(0x040000A0 + 4 * (v >> 8 & 1), v * 0x01010101);
        }
        PlayFifoSamples(v & 1, 1 + v % 37);
        for (uint32_t c = 0; c < 2; ++c) {
            ASSERT_LE(Fifo[c].count, FifoBytes) << v;
            ASSERT_LT(Fifo[c].head, FifoBytes) << v;
            ASSERT_LT(PcmWritePos[c], PcmBufferSize) << v;
        }
    }
}

TEST_F(SoundFifoTest, RatesFollowTheirTimer)
{
    BusWrite16(0x04000082, 0x4B0F); // A on timer 0, B on timer 1
    BusWrite16(0x04000100, 0xFC00);
    BusWrite16(0x04000102, 0x0080);
    EXPECT_EQ(PcmRate[0], 16384u) << "2^24 cycles a second, 1024 a sample";
    BusWrite16(0x04000100, 0xFE00);
    BusWrite16(0x04000102, 0x0000);
    BusWrite16(0x04000102, 0x0080);
    EXPECT_EQ(PcmRate[0], 32768u) << "a new reload changes the pitch";
    // Timer 1 counting timer 0's overflows, four to one.
    BusWrite16(0x04000104, 0xFFFC);
    BusWrite16(0x04000106, 0x0084);
    EXPECT_EQ(PcmRate[1], 8192u);
    BusWrite16(0x04000102, 0);
    EXPECT_EQ(PcmRate[0], 0u);
    EXPECT_EQ(ToneOn[4], 0);
}

TEST_F(SoundFifoTest, ShutdownStopsTheRingsBeforeFreeingThem)
{
    BusWrite16(0x04000082, 0x0B0F);
    BusWrite16(0x04000100, 0xFC00);
    BusWrite16(0x04000102, 0x0080);
    EXPECT_EQ(ToneOn[4], 1);
    machine.Stop();
    EXPECT_EQ(ToneOn[4], 0);
    EXPECT_EQ(ToneOn[5], 0);
}

} // namespace
} // namespace Tavrin::Test
