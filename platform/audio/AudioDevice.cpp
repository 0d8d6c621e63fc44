#include "platform/audio/AudioDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace Platform {

AudioDevice::~AudioDevice() { close(); }

const char *AudioDevice::errorText(Result result)
{
    switch (result) {
    case BadDeviceId: return "Error opening waveOut: BADDEVICEID";
    case NoDriver: return "Error opening waveOut: NODRIVER";
    case NoMemory: return "Error opening waveOut: NOMEM";
    case BadFormat: return "Error opening waveOut: BADFORMAT";
    case Sync: return "Error opening waveOut: SYNC";
    default: return "Error opening waveOut: UNKNOWN";
    }
}

AudioDevice::Result AudioDevice::open(int rate, int bits, int channels, DoneCallback done,
                                      void *instance)
{
    if (isOpen())
        return Ok;
    if (rate <= 0 || (bits != 8 && bits != 16) || channels < 1 || channels > 2)
        return BadFormat;
    // The program's own handlers end it on SIGTERM and SIGINT; SDL would
    // turn them into quit events no one reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return NoDriver;

    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = bits == 8 ? AUDIO_U8 : AUDIO_S16SYS;
    want.channels = uint8_t(channels);
    // About 20 ms per pull: short enough that completions arrive steadily.
    want.samples = uint16_t(std::clamp(rate / 50, 256, 4096));
    want.callback = &AudioDevice::pull;
    want.userdata = this;
    SDL_AudioSpec have{};
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        bool const outOfMemory = std::strstr(SDL_GetError(), "Out of memory") != nullptr;
        int const devices = SDL_GetNumAudioDevices(0);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (outOfMemory)
            return NoMemory;
        return devices == 0 ? BadDeviceId : Unknown;
    }
    {
        std::lock_guard lock(mutex_);
        done_ = done;
        instance_ = instance;
        frameBytes_ = bits / 8 * channels;
        silence_ = have.silence;
        playedBytes_ = 0;
        queue_.clear();
    }
    device_ = id;
    SDL_PauseAudioDevice(id, 0);
    return Ok;
}

void AudioDevice::write(const void *data, int bytes)
{
    if (!isOpen() || bytes <= 0)
        return;
    std::lock_guard lock(mutex_);
    queue_.push_back({static_cast<const uint8_t *>(data), bytes, 0});
}

uint64_t AudioDevice::position() const
{
    std::lock_guard lock(mutex_);
    return playedBytes_ / uint64_t(frameBytes_);
}

void AudioDevice::pause()
{
    if (isOpen())
        SDL_PauseAudioDevice(device_, 1);
}

void AudioDevice::restart()
{
    if (isOpen())
        SDL_PauseAudioDevice(device_, 0);
}

void AudioDevice::reset()
{
    if (!isOpen())
        return;
    std::lock_guard lock(mutex_);
    while (!queue_.empty()) {
        queue_.pop_front();
        if (done_)
            done_(instance_);
    }
}

void AudioDevice::close()
{
    if (!isOpen())
        return;
    reset();
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void AudioDevice::pull(void *self, uint8_t *stream, int len)
{
    auto *device = static_cast<AudioDevice *>(self);
    std::lock_guard lock(device->mutex_);
    device->pullLocked(stream, len);
}

void AudioDevice::pullLocked(uint8_t *stream, int len)
{
    while (len > 0 && !queue_.empty()) {
        Block &block = queue_.front();
        int n = std::min(len, block.bytes - block.offset);
        std::memcpy(stream, block.data + block.offset, size_t(n));
        stream += n;
        len -= n;
        block.offset += n;
        playedBytes_ += uint64_t(n);
        if (block.offset == block.bytes) {
            queue_.pop_front();
            if (done_)
                done_(instance_);
        }
    }
    // A starved queue plays silence; the position does not move for it.
    if (len > 0)
        std::memset(stream, silence_, size_t(len));
}

} // namespace Platform
