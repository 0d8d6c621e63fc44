// What the machine calls in the other parts of the 6502 module: the sound
// unit, the scan-line renderers, the video's frame and colour entry points,
// the pad input and the sound class's per-frame trigger. The module defines
// them; until it does, tests link the recording stand-ins in standins/.
#pragma once

#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Cindrel {

#pragma GCC visibility push(hidden)

// One sound unit's registers and channel state.
struct SoundUnitState {
    uint8_t registers[21];   // copies of $00-$14
    uint8_t status;          // what $4015 (or $5015) reads
    uint8_t waveRegisters[4]; // copies of $80-$83
    int32_t frequency[7];
    int32_t volume[7];
    int32_t length[7];
    int32_t sweepTimer[7];
    int32_t envelopeTimer[7];
    int32_t timer[7];
    int32_t envelopeLevel[7];
    int32_t firstChannel;
    int32_t framesPerSecond;
    uint8_t enableMask;
    uint8_t changed;
    uint8_t dutyChanged;
    uint8_t pushMode;
};
inline constexpr int SoundUnitImageSize = 236;

// The first unit ($4000-$4015); the second lives in the mapper record.
extern SoundUnitState SoundUnit;

uint8_t ApuReset(SoundUnitState &unit, int setup);
uint8_t ApuWrite(SoundUnitState &unit, int reg, uint8_t value);
void ApuSync(SoundUnitState &unit, int mode);
uint8_t ApuFrameStep(SoundUnitState &unit, int milliseconds);
// The unit's 236-byte image, field by field.
void ApuWriteImage(const SoundUnitState &unit, Zorvan::ByteWriter &out);
// Reads a whole image into unit only when it is complete and sane; an all-zero
// image (a unit never reset) only into a unit that was never reset either.
bool ApuReadImage(SoundUnitState &unit, Zorvan::ByteReader &in);

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
