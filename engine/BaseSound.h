// The base of every module's sound class. The subclass only mixes samples
// (Mix); the base owns the output device, a growing ring of output blocks
// and the rate control that keeps between about 3.75 and 6.25 frames of
// sound queued, so that playback neither starves nor lags whatever the real
// frame rate of the emulation. The module calls Trigger once per emulated
// frame.
//
// Threads: the device's completion call arrives on SDL's audio thread and
// changes only the free-block count, under a lock shared by all sound
// objects; everything else runs on the UI thread.
//
// Module sound classes read and set several members directly, so they are
// public and keep their order.
#pragma once

#include "engine/PreciseTimer.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace Platform {
class AudioDevice;
}

namespace ZorvanEngine {

class Module;

class BaseSound {
public:
    static constexpr int kMaxBlocks = 50;
    // The output rates the mixers are built for.
    static constexpr int kMinRate = 8000;
    static constexpr int kMaxRate = 48000;

    explicit BaseSound(Module *owner);
    virtual ~BaseSound();
    BaseSound(BaseSound const &) = delete;
    BaseSound &operator=(BaseSound const &) = delete;

    // The virtual operations in their fixed order.
    // Nothing when open already or for a rate of 0; a rate outside
    // kMinRate..kMaxRate is brought into it.
    virtual void Open(int rate, int bits, bool stereo);
    // Only for the engine's active module; otherwise nothing happens.
    virtual void Close();
    virtual bool IsOpen() { return m_rate != 0; }
    virtual void Pause();
    virtual void Resume();
    // Once per emulated frame: queues about one frame of samples.
    virtual void Trigger();
    virtual void UpdateSettings();
    // Fills the buffer with up to `samples` sample frames in the open
    // format; returns how many it wrote (0 ends the current Trigger).
    virtual int Mix(void *buffer, int samples) = 0;

    // The device's completion call: one more free block. `instance` is the
    // address of m_freeBlocks.
    static void WaveOutCallback(void *instance);

    // Rate control: samples of one frame at the given rate and frame rate.
    static int FrameSamples(int rate, int fps);
    // Samples to write with `queued` samples still waiting at the device.
    static int SamplesToWrite(int queued, int frameSamples);
    // A rate or volume read from the settings, brought into range.
    static int ClampRate(int rate);
    static int ClampVolume(int volume);

protected:
    bool AddBlock();
    void WriteAudio(unsigned samples);

public:
    // One output block with its own buffer.
    struct Block {
        std::unique_ptr<uint8_t[]> data;
        int bytes = 0;    // length of the buffer
        int recorded = 0; // bytes of the last mix
    };

    int m_blockCount;
    int m_playedLast;
    int m_queued;
    int m_toWrite;
    CPreciseTimer m_timer;
    Module *m_module;
    std::unique_ptr<Platform::AudioDevice> m_waveOut; // null when closed
    std::vector<std::unique_ptr<Block>> m_blocks;     // in ring order
    int m_ringIndex;
    int m_blockSamples;
    int m_blockBytes;
    int m_freeBlocks;
    uint64_t m_written;
    uint64_t m_lastPosition;
    float m_gain;
    bool m_stereo;
    int m_rate;
    int m_bits;
    int m_bytesPerSecond;
    int m_blockAlign;
    int m_fps;
    int m_channelCount;
    int m_enabledCount;
    bool *m_channelEnabled;
    bool m_noise;
    int m_volume;

private:
    // Stops and closes the device and frees the blocks, whichever module
    // is active (the destructor and failed opens must not leave a device
    // playing from freed blocks).
    void CloseDevice();
    void ReadChannelSettings();
    int NominalFps() const;

    // Guards m_freeBlocks and the block ring against the completion call.
    static std::mutex s_lock;
};

} // namespace ZorvanEngine
