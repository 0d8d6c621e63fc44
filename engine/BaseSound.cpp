#include "engine/BaseSound.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/String.h"
#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "platform/audio/AudioDevice.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>

namespace ZorvanEngine {

std::mutex BaseSound::s_lock;

namespace {

// Frames of sound kept queued, in hundredths of a frame.
constexpr int kLowMark = 375;
constexpr int kHighMark = 625;
// Frames of sound per output block.
constexpr int kFramesPerBlock = 2;

} // namespace

BaseSound::BaseSound(Module *owner)
    : m_blockCount(0), m_playedLast(0), m_queued(0), m_toWrite(0), m_timer(1000000), m_module(owner),
      m_ringIndex(0), m_blockSamples(0), m_blockBytes(0), m_freeBlocks(0), m_written(0), m_lastPosition(0),
      m_gain(1.0f), m_stereo(false), m_rate(0), m_bits(0), m_bytesPerSecond(0), m_blockAlign(0), m_fps(60),
      m_channelCount(0), m_enabledCount(0), m_channelEnabled(nullptr), m_noise(false), m_volume(0)
{
}

BaseSound::~BaseSound()
{
    CloseDevice();
}

int BaseSound::ClampRate(int rate)
{
    return std::clamp(rate, kMinRate, kMaxRate);
}

int BaseSound::ClampVolume(int volume)
{
    return std::clamp(volume, 0, 100);
}

int BaseSound::FrameSamples(int rate, int fps)
{
    return fps > 0 ? rate / fps : 0;
}

int BaseSound::SamplesToWrite(int queued, int frameSamples)
{
    int const low = frameSamples * kLowMark / 100;
    int const high = frameSamples * kHighMark / 100;
    if (queued < low)
        return frameSamples + (low - queued);
    if (queued > high) {
        int const excess = queued - high;
        return excess < frameSamples ? frameSamples - excess : 0;
    }
    return frameSamples;
}

void BaseSound::WaveOutCallback(void *instance)
{
    std::lock_guard<std::mutex> lock(s_lock);
    ++*static_cast<int *>(instance);
}

int BaseSound::NominalFps() const
{
    BaseVideo *video = m_module ? m_module->GetVideo() : nullptr;
    if (!video)
        return 60;
    return video->Is60Hz() == 1 ? 60 : 50;
}

void BaseSound::ReadChannelSettings()
{
    if (m_module) {
        PropertyMap const &settings = m_module->GetSettings();
        if (m_channelEnabled) {
            m_enabledCount = 0;
            for (int i = 0; i < m_channelCount; ++i) {
                Zorvan::String key;
                key.Format(L"SoundChannel%d", i);
                m_channelEnabled[i] = settings.GetBoolean(key);
                if (m_channelEnabled[i])
                    ++m_enabledCount;
            }
        }
        m_noise = settings.GetBoolean(L"Noise");
    }
    if (ourEngine)
        m_volume = ClampVolume(ourEngine->GetSettings().GetInt(L"Volume"));
}

void BaseSound::Open(int rate, int bits, bool stereo)
{
    if (IsOpen() || rate <= 0)
        return;
    rate = ClampRate(rate);
    int const channels = stereo ? 2 : 1;

    auto device = std::make_unique<Platform::AudioDevice>();
    Platform::AudioDevice::Result const result =
        device->open(rate, bits, channels, &BaseSound::WaveOutCallback, &m_freeBlocks);
    if (result != Platform::AudioDevice::Ok) {
        // A line of its own: the start goes on writing after it.
        Zorvan::printConsole("%s\n", Platform::AudioDevice::errorText(result));
        CloseDevice();
        return;
    }

    {
        std::lock_guard<std::mutex> lock(s_lock);
        m_waveOut = std::move(device);
        m_stereo = stereo;
        m_rate = rate;
        m_bits = bits;
        m_blockAlign = bits * channels / 8;
        m_bytesPerSecond = rate * m_blockAlign;
        m_fps = NominalFps();
        m_blockSamples = kFramesPerBlock * rate / m_fps;
        m_blockBytes = m_blockSamples * m_blockAlign;
        m_blockCount = m_freeBlocks = m_ringIndex = 0;
        m_playedLast = m_queued = m_toWrite = 0;
        m_written = m_lastPosition = 0;
    }

    delete[] m_channelEnabled;
    m_channelEnabled = m_channelCount > 0 ? new bool[static_cast<size_t>(m_channelCount)]() : nullptr;
    ReadChannelSettings();
    m_timer.Begin();
}

void BaseSound::Close()
{
    if (!ourEngine || ourEngine->GetActiveModule() != m_module)
        return;
    CloseDevice();
}

void BaseSound::CloseDevice()
{
    if (m_waveOut) {
        // Every queued block comes back with its completion call.
        m_waveOut->reset();
        auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(s_lock);
                if (m_freeBlocks >= m_blockCount)
                    break;
            }
            if (std::chrono::steady_clock::now() > deadline)
                break;
            std::this_thread::yield();
        }
        // Closed before the blocks go, so nothing can still read them.
        m_waveOut->close();
        std::lock_guard<std::mutex> lock(s_lock);
        m_waveOut.reset();
        m_blocks.clear();
        m_freeBlocks = 0;
        m_ringIndex = 0;
    }
    delete[] m_channelEnabled;
    m_channelEnabled = nullptr;
    m_rate = 0;
    m_blockCount = 0;
    m_playedLast = m_queued = m_toWrite = 0;
}

void BaseSound::Pause()
{
    if (IsOpen() && m_waveOut)
        m_waveOut->pause();
}

void BaseSound::Resume()
{
    if (IsOpen() && m_waveOut)
        m_waveOut->restart();
    m_timer.Begin();
}

void BaseSound::Trigger()
{
    if (!IsOpen() || !m_waveOut)
        return;
    uint64_t const position = m_waveOut->position();
    m_playedLast = static_cast<int>(position - m_lastPosition);
    m_queued = static_cast<int>(m_written - position);
    m_lastPosition = position;

    BaseVideo const *video = m_module ? m_module->GetVideo() : nullptr;
    int fps = video ? video->GetGameFps() : 0;
    if (fps <= 0)
        fps = m_fps;
    m_toWrite = SamplesToWrite(m_queued, FrameSamples(m_rate, fps));
    WriteAudio(static_cast<unsigned>(m_toWrite));
}

void BaseSound::UpdateSettings()
{
    m_fps = NominalFps();
    ReadChannelSettings();
    if (ourEngine && m_module && ourEngine->IsRunning()) {
        PropertyMap const &settings = m_module->GetSettings();
        bool const wanted = ourEngine->GetSettings().GetBoolean(L"Sound") && settings.GetBoolean(L"Sound");
        int const rate = ClampRate(settings.GetInt(L"SoundRate"));
        bool const stereo = settings.GetBoolean(L"Stereo");
        int const bits = settings.GetBoolean(L"Sound16Bit") ? 16 : 8;
        if (rate != m_rate || stereo != m_stereo || bits != m_bits || wanted != IsOpen()) {
            Close();
            if (wanted)
                Open(rate, bits, stereo);
        }
    }
    m_timer.Begin();
}

bool BaseSound::AddBlock()
{
    auto block = std::unique_ptr<Block>(new (std::nothrow) Block);
    if (!block) {
        Zorvan::printConsole("Unable to allocate a new wave header. Current count: %d\n", m_blockCount);
        CloseDevice();
        return false;
    }
    block->data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(m_blockBytes)]());
    if (!block->data) {
        Zorvan::printConsole("Unable to allocate %d bytes for audio buffer.\n", m_blockBytes);
        CloseDevice();
        return false;
    }
    block->bytes = block->recorded = m_blockBytes;

    // The free blocks first (the next to fill), then the new one, then the
    // queued ones in the order the device returns them.
    std::lock_guard<std::mutex> lock(s_lock);
    std::vector<std::unique_ptr<Block>> ring;
    ring.reserve(m_blocks.size() + 1);
    int const count = m_blockCount;
    for (int i = 0; i < m_freeBlocks; ++i)
        ring.push_back(std::move(m_blocks[static_cast<size_t>((m_ringIndex + i) % count)]));
    ring.push_back(std::move(block));
    for (int i = m_freeBlocks; i < count; ++i)
        ring.push_back(std::move(m_blocks[static_cast<size_t>((m_ringIndex + i) % count)]));
    m_blocks = std::move(ring);
    ++m_blockCount;
    ++m_freeBlocks;
    m_ringIndex = 0;
    return true;
}

void BaseSound::WriteAudio(unsigned samples)
{
    if (!IsOpen() || !m_waveOut || m_blockSamples <= 0)
        return;
    auto freeBlocks = [this] {
        std::lock_guard<std::mutex> lock(s_lock);
        return m_freeBlocks;
    };
    while (static_cast<uint64_t>(m_blockSamples) * static_cast<uint64_t>(freeBlocks()) < samples &&
           m_blockCount < kMaxBlocks) {
        if (!AddBlock())
            return;
    }
    uint64_t const room = static_cast<uint64_t>(freeBlocks()) * static_cast<uint64_t>(m_blockSamples);
    int64_t remaining = static_cast<int64_t>(std::min<uint64_t>(samples, room));
    // A block that Mix filled only in part still takes a whole block, so
    // the free count is checked again before every block: a block still
    // queued at the device is never written over.
    while (remaining > 0 && freeBlocks() > 0) {
        Block &block = *m_blocks[static_cast<size_t>(m_ringIndex)];
        int const wanted = static_cast<int>(std::min<int64_t>(m_blockSamples, remaining));
        int const count = std::min(Mix(block.data.get(), wanted), wanted);
        if (count <= 0)
            break;
        block.recorded = count * m_blockAlign;
        m_written += static_cast<uint64_t>(count);
        {
            std::lock_guard<std::mutex> lock(s_lock);
            --m_freeBlocks;
        }
        // Never called under s_lock: the completion call takes it under the
        // device's own lock.
        m_waveOut->write(block.data.get(), block.recorded);
        m_ringIndex = (m_ringIndex + 1) % m_blockCount;
        remaining -= count;
    }
}

} // namespace ZorvanEngine
