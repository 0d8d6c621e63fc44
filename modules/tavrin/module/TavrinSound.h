// The handheld's sound object: the engine's output device over the mixer
// (SoundMixer.h), and the machine's SoundState word kept in step with it.
#pragma once

#include "engine/BaseSound.h"

namespace Tavrin {

class TavrinSound : public ZorvanEngine::BaseSound {
public:
    explicit TavrinSound(ZorvanEngine::Module *owner);
    ~TavrinSound() override;

    // SoundState 2 and the device opened, unless open already.
    void Open(int rate, int bits, bool stereo) override;
    // The device closed, SoundState 3.
    void Close() override;
    // Only while the device is open.
    void Trigger() override;
    int Mix(void *buffer, int samples) override;
};

// Refills the output once per emulated frame (the pad's read calls it).
void TriggerSound();

} // namespace Tavrin
