// The sound-channel driver: the thin layer between an emulated sound chip and
// the module's sound class.
//
// Chips speak in channels (a sound type, a tone, a wave, a drum hit); the
// module's sound class decides what that means for its mixer. Between them
// stands one table of hooks that the sound class fills when it is constructed.
// The driver clamps channel numbers and values, skips a hook that is not
// installed, and forwards the call.
//
// The driver is a static library linked into every module library and built
// with hidden visibility, so each module library has its own table and state.
#pragma once

// Sound types the chips pass to SetSound.
enum SoundType {
    SoundTypeTone = 0,         // square or wave-table channel
    SoundTypeHalfVolumeTone = 1,
    SoundTypeNoise = 2,
    SoundTypeWave = 4,         // a sampled wave, set by the sound class itself
};

// Hooks, in the order the table has always had. Samples are signed 8-bit and
// borrowed: the sender keeps them alive.
struct SoundHookTable {
    void (*setSound)(int channel, int type);
    void (*drum)(int type, int force);
    void (*reserved)();
    void (*setTone)(int channel, int frequency, int volume);
    void (*setWave)(int channel, const signed char *data, int length, int rate);
    const signed char *(*wavePosition)(int channel);
};

extern SoundHookTable SoundHooks;

void SetSound(int channel, int type);
void SetTone(int channel, int frequency, int volume);
void SetWave(int channel, const signed char *data, int length, int rate);
void Drum(int type, int force);
const signed char *GetWavePosition(int channel);

// The machines call these at start-up, once per frame and at shutdown. The
// MIDI log they once fed is never opened, so they leave hooks and sound alone.
void InitSoundDriver(const char *logName);
void MidiTicks(int milliseconds);
void MidiClose();
