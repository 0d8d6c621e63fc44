// The real plug-in playing direct sound the way a game does, with its
// sound on and off: what the game can see of its sound DMA and timer (the
// interrupts it takes, how far the DMA read) must not depend on whether
// the host plays the sound.
#include "modules/tavrin/module/tests/PluginSandbox.h"
#include "modules/tavrin/testing/SoundProgram.h"

namespace Tavrin::Test {
namespace {

// Direct sound A streamed by DMA 1 at 16,384 samples a second, the DMA's
// and the timer's interrupts counted by the program's handler.
std::vector<uint8_t> StreamingGame()
{
    SoundProgram p;
    p.CountInterrupts(0x0208); // timer 0, DMA 1
    p.Io16(0x084, 0x0080);
    p.Io16(0x082, 0x0B06);     // A at 100% to both sides, timer 0
    p.Io32(0x0BC, SoundProgram::Samples);
    p.Io32(0x0C0, 0x040000A0);
    p.Io16(0x0C6, 0xF640);     // DMA 1: repeat, sound timing, interrupt
    p.Io16(0x100, 0xFC00);
    p.Io16(0x102, 0x00C0);     // timer 0 with its interrupt
    p.Spin();
    return p.Image();
}

struct Seen {
    uint32_t dmaInterrupts, timerInterrupts, fifoSource, played;
    bool operator==(Seen const &) const = default;
};

TEST_F(TavrinModuleTest, SoundDmaAndTimersRunTheSameWithSoundOnAndOff)
{
    fs::path const game = Image("stream.gba", StreamingGame());
    engine->GetSettings().Set(L"Sound", true, false);
    Seen seen[2];
    for (bool const sound : {true, false}) {
        StoreRunSettings(sound);
        ASSERT_TRUE(engine->RunFile(Wide(game))) << Console();
        ASSERT_EQ(Active().GetSound()->IsOpen(), sound);
        for (int frame = 0; frame < 60; ++frame)
            ASSERT_TRUE(Active().RunFrame());
        auto const word = [&](uint32_t address) { return words->Read16(address) | words->Read16(address + 2) << 16; };
        seen[sound] = {word(SoundProgram::Counters + 4 * 9), word(SoundProgram::Counters + 4 * 3),
                       words->Word<uint32_t>("_ZN6Tavrin10FifoSourceE"),
                       words->Word<uint32_t>("_ZN6Tavrin10PcmWrittenE")};
        engine->Shutdown();
    }
    EXPECT_EQ(seen[1], seen[0]);
    // 60 frames of 280,896 cycles at 1,024 a sample: 16,459 samples, and a
    // DMA request for each 16 of them.
    Seen const &on = seen[1];
    EXPECT_NEAR(on.played, 16459, 280);
    EXPECT_NEAR(on.dmaInterrupts, on.played / 16.0, 2);
    // The first two requests come at the same overflow and raise one
    // interrupt.
    EXPECT_EQ(on.fifoSource - SoundProgram::Samples, 16 * (on.dmaInterrupts + 1));
    EXPECT_GT(on.timerInterrupts, 0u);
    std::printf("DMA 1 interrupts %u, timer 0 interrupts %u, samples played %u (sound on and off alike)\n",
                on.dmaInterrupts, on.timerInterrupts, on.played);
}

} // namespace
} // namespace Tavrin::Test
