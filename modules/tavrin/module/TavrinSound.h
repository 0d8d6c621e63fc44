// The handheld's sound object: the engine's output device over the mixer
// (SoundMixer.h), and the machine's SoundState word kept in step with it.
#pragma once

#include "engine/BaseSound.h"

namespace Tavrin {

// The console's output has more than 8 bits, so the device is opened with
// 16-bit samples, whatever size the caller asks for.
inline constexpr int kSoundBits = 16;

class TavrinSound : public ZorvanEngine::BaseSound {
public:
    explicit TavrinSound(ZorvanEngine::Module *owner);
    ~TavrinSound() override;

    // SoundState 2 and the device opened with kSoundBits, unless open already.
    void Open(int rate, int bits, bool stereo) override;
    // The device closed, SoundState 3.
    void Close() override;
    // Only while the device is open.
    void Trigger() override;
    // In the format the device was opened with, the console's sound
    // registers read at the start of the block.
    int Mix(void *buffer, int samples) override;
};

// Refills the output once per emulated frame (the pad's read calls it).
void TriggerSound();

} // namespace Tavrin
