#include "modules/belcrest/sound/Fm.h"

#include "modules/sounddriver/SoundDriver.h"

namespace Belcrest {

namespace {

constexpr unsigned kChannels = 9;
constexpr uint8_t kRhythmControl = 0x0E;
constexpr uint8_t kRhythmMode = 0x20;
constexpr uint8_t kKeyOn = 0x10;

// The instrument numbers as programs of the driver's instrument set.
constexpr uint8_t kPrograms[16] = {90, 40, 27, 1, 73, 71, 68, 56, 20, 58, 50, 6, 11, 38, 34, 33};

// The rhythm instruments by their bit in register 0x0E: the note sent as
// the drum kind and where the volume nibble lies.
struct RhythmVoice {
    uint8_t note;
    uint8_t volumeRegister;
    uint8_t volumeShift;
};
constexpr RhythmVoice kRhythm[5] = {
    {42, 0x37, 4}, // bit 0 hi-hat
    {49, 0x38, 0}, // bit 1 cymbal
    {47, 0x38, 4}, // bit 2 tom
    {40, 0x37, 0}, // bit 3 snare
    {36, 0x36, 0}, // bit 4 bass drum
};
// The rhythm bits whose volume lies in registers 0x36, 0x37, 0x38.
constexpr uint8_t kRhythmBitsOfVolume[3] = {0x10, 0x09, 0x06};

bool RhythmMode(Fm const &fm)
{
    return (fm.registers[kRhythmControl] & kRhythmMode) != 0;
}

bool Melodic(Fm const &fm, unsigned channel)
{
    return !RhythmMode(fm) || channel < 6;
}

// F-number x 2^block x 3125 >> 15, from the low byte and the key/block byte.
uint32_t ChannelFrequency(uint8_t low, uint8_t keyBlock)
{
    uint32_t const fnumber = low + 256u * (keyBlock & 1);
    uint32_t const block = (keyBlock >> 1) & 7;
    return (fnumber << block) * 3125 >> 15;
}

// Returns whether the value was stored.
bool WriteRhythmControl(Fm &fm, uint8_t value)
{
    uint8_t const old = fm.registers[kRhythmControl];
    if (value == old)
        return false;
    if (!(value & kRhythmMode))
        value &= 0xE0;
    fm.rhythmDirty |= (value ^ old) & 0x1F;
    if ((value & kRhythmMode) && !(old & kRhythmMode)) {
        for (unsigned ch = 6; ch < kChannels; ++ch)
            fm.frequency[ch] = 0;
        fm.toneDirty |= 0x1C0;
    }
    fm.registers[kRhythmControl] = value;
    return true;
}

// Returns whether the value was stored.
bool WriteFrequencyLow(Fm &fm, unsigned ch, uint8_t r, uint8_t value)
{
    if (ch >= kChannels || fm.registers[r] == value)
        return false;
    uint8_t const keyBlock = fm.registers[0x20 + ch];
    if (Melodic(fm, ch) && (keyBlock & kKeyOn)) {
        fm.frequency[ch] = ChannelFrequency(value, keyBlock);
        fm.toneDirty |= 1u << ch;
    }
    fm.registers[r] = value;
    return true;
}

bool WriteKeyBlock(Fm &fm, unsigned ch, uint8_t r, uint8_t value)
{
    if (ch >= kChannels)
        return false;
    if (Melodic(fm, ch)) {
        fm.frequency[ch] = (value & kKeyOn) ? ChannelFrequency(fm.registers[0x10 + ch], value) : 0;
        fm.toneDirty |= 1u << ch;
    }
    fm.registers[r] = value;
    return true;
}

bool WriteInstrumentVolume(Fm &fm, unsigned ch, uint8_t r, uint8_t value)
{
    uint8_t const old = fm.registers[r];
    if (ch >= kChannels || old == value)
        return false;
    if ((old ^ value) & 0xF0)
        fm.instrumentDirty |= 1u << ch;
    if ((old ^ value) & 0x0F) {
        fm.volume[ch] = (15u - (value & 15)) * 17;
        fm.toneDirty |= 1u << ch;
    }
    if (RhythmMode(fm) && ch >= 6)
        fm.rhythmDirty |= fm.registers[kRhythmControl] & kRhythmBitsOfVolume[ch - 6];
    fm.registers[r] = value;
    return true;
}

} // namespace

void FmReset(Fm &fm, uint32_t firstChannel)
{
    fm = Fm{};
    for (unsigned i = 0; i < kChannels; ++i) {
        SetSound(int(firstChannel + i), 0);
        fm.registers[0x30 + i] = 15;
    }
    fm.deferred = 1;
    fm.firstChannel = firstChannel;
}

void FmSelectRegister(Fm &fm, uint8_t value)
{
    fm.selectedRegister = value & 0x3F;
}

void FmWriteData(Fm &fm, uint8_t value)
{
    FmWriteRegister(fm, fm.selectedRegister, value);
}

void FmWriteRegister(Fm &fm, uint8_t reg, uint8_t value)
{
    uint8_t const r = reg & 0x3F;
    unsigned const ch = r & 15;
    bool stored = false;
    switch (r >> 4) {
    case 0:
        if (r == kRhythmControl) {
            stored = WriteRhythmControl(fm, value);
        } else {
            // The custom instrument and the rest are only kept.
            fm.registers[r] = value;
            stored = true;
        }
        break;
    case 1:
        stored = WriteFrequencyLow(fm, ch, r, value);
        break;
    case 2:
        stored = WriteKeyBlock(fm, ch, r, value);
        break;
    default:
        stored = WriteInstrumentVolume(fm, ch, r, value);
        break;
    }
    if (stored && fm.deferred == 0 && (fm.toneDirty | fm.instrumentDirty | fm.rhythmDirty) != 0)
        FmSync(fm, 2);
}

void FmSync(Fm &fm, uint8_t mode)
{
    if (mode != 2)
        fm.deferred = mode;
    for (unsigned i = 0; i < kChannels; ++i) {
        if (fm.instrumentDirty & (1u << i))
            SetSound(int(fm.firstChannel + i), 0x100 | kPrograms[fm.registers[0x30 + i] >> 4]);
    }
    for (unsigned i = 0; i < kChannels; ++i) {
        if (fm.toneDirty & (1u << i))
            SetTone(int(fm.firstChannel + i), int(fm.frequency[i]), int(fm.volume[i]));
    }
    uint8_t const control = fm.registers[kRhythmControl];
    for (unsigned bit = 0; bit < 5; ++bit) {
        if (!(fm.rhythmDirty & (1u << bit)))
            continue;
        RhythmVoice const &voice = kRhythm[bit];
        uint32_t const field = (fm.registers[voice.volumeRegister] >> voice.volumeShift) & 15;
        int const force = (control & (1u << bit)) ? int(field * 17) : 0;
        Drum(0x100 + voice.note, force);
    }
    fm.toneDirty = fm.instrumentDirty = fm.rhythmDirty = 0;
}

} // namespace Belcrest
