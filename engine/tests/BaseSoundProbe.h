// A module sound for the sound base tests: mixes 16-bit samples that count
// up (so every sample says where it belongs), or a square wave, and checks
// that it is never handed a block that the device has not played yet.
#pragma once

#include "engine/BaseSound.h"
#include "platform/audio/AudioDevice.h"

#include <map>

namespace ZorvanEngine::Test {

class SoundProbe : public ZorvanEngine::BaseSound {
public:
    enum class Wave { Count, Square };

    explicit SoundProbe(ZorvanEngine::Module *owner, Wave wave = Wave::Count) : BaseSound(owner), m_wave(wave) {}
    ~SoundProbe() override = default;

    int Mix(void *buffer, int samples) override
    {
        ++mixCalls;
        // The block's previous samples must all have been played.
        auto const last = m_lastInBlock.find(buffer);
        if (last != m_lastInBlock.end() && m_waveOut && m_waveOut->position() < last->second)
            ++overwrites;
        int count = samples;
        if (shortMixEvery > 0 && mixCalls % shortMixEvery == 0 && count > 7)
            count -= 7;
        int const channels = m_stereo ? 2 : 1;
        auto *out16 = static_cast<int16_t *>(buffer);
        auto *out8 = static_cast<uint8_t *>(buffer);
        for (int i = 0; i < count; ++i) {
            int16_t const value = m_wave == Wave::Count ? int16_t(m_next & 0x7FFF) : SquareSample();
            for (int c = 0; c < channels; ++c) {
                if (m_bits == 16)
                    *out16++ = value;
                else
                    *out8++ = uint8_t(0x80 + (value >> 8));
            }
            ++m_next;
        }
        m_lastInBlock[buffer] = m_written + uint64_t(count);
        return count + overReport;
    }

    using BaseSound::AddBlock;
    using BaseSound::WriteAudio;

    int FreeBlocks() const { return m_freeBlocks; }
    uint64_t Position() const { return m_waveOut ? m_waveOut->position() : 0; }

    static constexpr int kSquareHz = 1000;
    static constexpr int16_t kAmplitude = 8000;

    int mixCalls = 0;
    int overwrites = 0;
    int shortMixEvery = 0; // every n-th mix returns 7 samples fewer
    int overReport = 0;    // claims this many samples more than it wrote

private:
    int16_t SquareSample()
    {
        int16_t const value = m_phase < m_rate / 2 ? kAmplitude : int16_t(-kAmplitude);
        m_phase += kSquareHz;
        if (m_phase >= m_rate)
            m_phase -= m_rate;
        return value;
    }

    Wave m_wave;
    uint64_t m_next = 0;
    int m_phase = 0;
    std::map<void *, uint64_t> m_lastInBlock;
};

} // namespace ZorvanEngine::Test
