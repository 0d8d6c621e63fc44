// What the machine calls in the other parts of the 6502 module: the sound
// unit, the scan-line renderers, the video's frame and colour entry points,
// the pad input and the sound class's per-frame trigger. The module defines
// them; until it does, tests link the recording stand-ins in testing/.
#pragma once

#include <climits>
#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Cindrel {

#pragma GCC visibility push(hidden)

// One sound unit: its register copies, the channels' counters that the
// frame sequencer clocks, the frame sequencer and the delta channel, and
// what the sound driver was last handed. Both the CPU ($4015) and the host's
// ears read these same counters.
struct SoundUnitState {
    uint8_t registers[21];    // copies of $00-$14
    uint8_t status;           // what $4015 (or $5015) reads: bit c while channel c's
                              // length counter runs (0-3), 4 while delta bytes are
                              // left, 6 the frame interrupt, 7 the delta interrupt
    uint8_t waveRegisters[4]; // copies of $80-$83
    // What the sound driver was last handed, per channel.
    int32_t frequency[7];
    int32_t volume[7];
    // Channel counters.
    uint16_t timer[3];          // 11-bit periods of the squares and the triangle
    uint8_t lengthCounter[4];   // in half frames
    uint8_t envelopeLevel[4];   // squares and noise (entry 2 unused)
    uint8_t envelopeDivider[4];
    uint8_t envelopeStart;      // bit c: channel c's envelope restarts at the next quarter frame
    uint8_t sweepDivider[2];
    uint8_t sweepReload;        // bit c
    uint8_t linearCounter;      // the triangle's
    uint8_t linearReload;
    // Frame sequencer.
    uint8_t frameControl;       // $4017 bits 7 (five steps) and 6 (no interrupt)
    uint8_t frameStep;          // the next step of the running sequence
    int32_t frameCycle;         // CPU cycles since the sequence (re)started
    uint8_t frameWrite;         // a $4017 value waiting out its delay
    uint8_t frameWriteDelay;    // cycles until it restarts the sequence; 0 none
    // Delta channel.
    uint16_t dmcAddress;        // of the next byte to fetch
    uint16_t dmcBytesLeft;
    uint16_t dmcTimer;          // CPU cycles to the next output bit
    uint8_t dmcBitsLeft;        // bits of the output byte still to come, 1-8
    uint8_t dmcBufferFull;
    // Set-up and pushes.
    int32_t firstChannel;
    int32_t framesPerSecond;    // 60, or 50 for the PAL console's timings
    uint8_t enableMask;         // the last $15 write, & $1F
    uint8_t changed;            // bit c: channel c's tone must be pushed
    uint8_t dutyChanged;
    uint8_t pushMode;
    // Not in the record: the CPU cycle the unit has run to (ApuUntied until
    // the machine ties it to its clock), and the delta sample the driver plays.
    int64_t cycle = INT64_MIN;
    uint16_t heardAddress;
    uint16_t heardBytes;
    uint8_t heardLevel;
    uint8_t heardFresh;         // started since the last push: heard for a frame at least
    // The length counters the last half-frame clock counted down.
    uint8_t lengthClocked = 0;
};
inline constexpr int SoundUnitImageSize = 236;
inline constexpr int64_t ApuUntied = INT64_MIN;

// The first unit ($4000-$4017); the second lives in the mapper record.
extern SoundUnitState SoundUnit;

// setup: bits 0-15 the first driver channel, ApuPal the PAL console's
// timings, ApuWarm a reset button press (the frame sequencer keeps its mode).
inline constexpr int ApuPal = 0x10000;
inline constexpr int ApuWarm = 0x20000;
uint8_t ApuReset(SoundUnitState &unit, int setup);
// Runs the unit's clocks up to CPU cycle `cycle` (the cycle of the access
// about to be made); the first call after a reset or a load ties the unit
// to the machine's clock instead.
void ApuRunTo(SoundUnitState &unit, int64_t cycle);
// A register write ($00-$17, $80-$83) at the unit's cycle; returns the status.
uint8_t ApuWrite(SoundUnitState &unit, int reg, uint8_t value);
// A $4015 read at the unit's cycle: the status, clearing the frame interrupt.
uint8_t ApuReadStatus(SoundUnitState &unit);
// Whether the unit holds the CPU's IRQ line.
bool ApuIrqLine(const SoundUnitState &unit);
// The CPU cycle of the unit's next step that can raise its IRQ line (a
// frame-interrupt step, a delayed $4017 restart, the delta channel's last
// byte); INT64_MAX for none.
int64_t ApuNextEvent(const SoundUnitState &unit);
// Pushes pending changes to the sound driver; mode as before: bit 7 also
// drums the noise, 2 leaves the push mode, anything else becomes it.
void ApuSync(SoundUnitState &unit, int mode);
// The unit's 236-byte image, field by field.
void ApuWriteImage(const SoundUnitState &unit, Zorvan::ByteWriter &out);
// Reads a whole image into unit only when it is complete and sane; an all-zero
// image (a unit never reset) only into a unit that was never reset either.
// Records saved before the unit ran on the CPU's clock are taken over as
// far as they go. The unit is left untied from the machine's clock. On
// refusal, reason (when given) says what was wrong.
bool ApuReadImage(SoundUnitState &unit, Zorvan::ByteReader &in, const char **reason = nullptr);

// A background routine draws one line and returns non-zero when sprite 0
// touched the background on it.
using LineRendererFn = int (*)(int line, int x, int y);
int PpuLineEntry(int line, int x, int y);
int PpuLineEntryLatch9(int line, int x, int y);
int PpuLineEntryLatch10(int line, int x, int y);
int PpuLineEntryMmc5(int line, int x, int y);

// Shows the finished picture.
void PresentFrame();
// The colours the video keeps: the 64 under each of the eight colour
// emphasis settings ($2001 bits 5-7), entry emphasis x 64 + colour.
inline constexpr int EmphasisColourCount = 8 * 64;
// Hands one of them to the video.
void SetPaletteColor(int index, int red, int green, int blue);
// Fills the pad bytes from the module's input.
void ReadPadState();
// Lets the sound class refill its output once per frame.
void TriggerSound();

#pragma GCC visibility pop

} // namespace Cindrel
