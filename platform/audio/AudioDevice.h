// The sound output device: blocks of PCM samples queued in order and played
// one after the other, with a completion call per finished block.
//
// The device pulls from its queue on SDL's audio thread. A block's memory
// stays the caller's: it must stay alive until the completion call for it
// arrives (or until reset() or close() returns).
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>

namespace Platform {

class AudioDevice {
public:
    // Open results, numbered as the old device's errors were.
    enum Result {
        Ok = 0,
        Unknown = 1,
        BadDeviceId = 2,
        NoDriver = 6,
        NoMemory = 7,
        BadFormat = 32,
        Sync = 35,
    };

    // Runs once per finished block with the instance value given to open():
    // on the audio thread, or in reset() and close(). It runs under the
    // device's queue lock, so it must not call the device, and the device must
    // not be called while holding a lock the callback takes.
    using DoneCallback = void (*)(void *instance);

    AudioDevice() = default;
    ~AudioDevice();
    AudioDevice(const AudioDevice &) = delete;
    AudioDevice &operator=(const AudioDevice &) = delete;

    Result open(int rate, int bits, int channels, DoneCallback done, void *instance);
    bool isOpen() const { return device_ != 0; }

    // Queues one block of whole sample frames; playback starts with the first.
    void write(const void *data, int bytes);
    // Sample frames played since open().
    uint64_t position() const;
    void pause();
    void restart();
    // Drops every queued block, each with its completion call, before it returns.
    void reset();
    void close();

    // The text for an open result, as the console reports it.
    static const char *errorText(Result result);

private:
    struct Block {
        const uint8_t *data;
        int bytes;
        int offset;
    };

    static void pull(void *self, uint8_t *stream, int len);
    void pullLocked(uint8_t *stream, int len);

    uint32_t device_ = 0;
    DoneCallback done_ = nullptr;
    void *instance_ = nullptr;
    int frameBytes_ = 1;
    uint8_t silence_ = 0;
    mutable std::mutex mutex_; // the queue and the played count, shared with the audio thread
    std::deque<Block> queue_;
    uint64_t playedBytes_ = 0;
};

} // namespace Platform
