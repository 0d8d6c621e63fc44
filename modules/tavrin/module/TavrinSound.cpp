#include "modules/tavrin/module/TavrinSound.h"

#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/module/SoundMixer.h"

namespace Tavrin {

namespace {
TavrinSound *PublishedSound = nullptr;
}

TavrinSound::TavrinSound(ZorvanEngine::Module *owner) : BaseSound(owner)
{
    ResetSoundMixer();
    InstallMixerHooks();
    m_channelCount = kMixChannels;
    PublishedSound = this;
}

TavrinSound::~TavrinSound()
{
    if (PublishedSound == this)
        PublishedSound = nullptr;
}

void TavrinSound::Open(int rate, int bits, bool stereo)
{
    if (IsOpen())
        return;
    SoundState = 2;
    BaseSound::Open(rate, bits, stereo);
}

void TavrinSound::Close()
{
    BaseSound::Close();
    SoundState = 3;
}

void TavrinSound::Trigger()
{
    if (IsOpen())
        BaseSound::Trigger();
}

int TavrinSound::Mix(void *buffer, int samples)
{
    MixSettings const settings{m_rate, m_channelEnabled, m_noise, m_volume};
    return MixSound(settings, static_cast<uint8_t *>(buffer), samples);
}

void TriggerSound()
{
    if (PublishedSound)
        PublishedSound->Trigger();
}

} // namespace Tavrin
