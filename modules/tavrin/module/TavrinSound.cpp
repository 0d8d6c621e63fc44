#include "modules/tavrin/module/TavrinSound.h"

#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/ModuleServices.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/module/SoundMixer.h"

namespace Tavrin {

namespace {

TavrinSound *PublishedSound = nullptr;

constexpr uint32_t SoundCntL = 0x080, SoundBias = 0x088, NoiseControl = 0x07C;

// The registers the console mixes by, and how far the machine has written
// the direct-sound rings. Without a machine, silence.
ConsoleMix ReadConsoleMix()
{
    ConsoleMix mix;
    if (!IoPage) {
        mix.soundCntX = 0;
        return mix;
    }
    mix.soundCntL = uint16_t(IoGet(SoundCntL));
    mix.soundCntH = uint16_t(IoGet(Io::SoundCntH));
    mix.soundCntX = uint16_t(IoGet(Io::SoundCntX));
    mix.soundBias = uint16_t(IoGet(SoundBias));
    mix.noiseControl = uint8_t(IoGet(NoiseControl));
    mix.written[0] = PcmWritten[0];
    mix.written[1] = PcmWritten[1];
    return mix;
}

} // namespace

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

void TavrinSound::Open(int rate, int, bool stereo)
{
    if (IsOpen())
        return;
    SoundState = 2;
    BaseSound::Open(rate, kSoundBits, stereo);
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
    // The block starts from the console as it is now: the generator's
    // changes of this frame go out first, as the routing they come with
    // is read now too.
    if (IoPage)
        PsgSync(2);
    MixSettings const settings{m_rate, m_channelEnabled, m_noise, m_volume, m_bits, m_stereo, ReadConsoleMix()};
    return MixSound(settings, buffer, samples);
}

void TriggerSound()
{
    if (PublishedSound)
        PublishedSound->Trigger();
}

} // namespace Tavrin
