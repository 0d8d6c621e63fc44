#include "platform/audio/AudioDevice.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace ZorvanEngine::Test {
namespace {

using Platform::AudioDevice;

void countDone(void *counter) { ++*static_cast<std::atomic<int> *>(counter); }

bool waitFor(const std::atomic<int> &counter, int value, int seconds = 10)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (counter.load() < value && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return counter.load() >= value;
}

TEST(AudioDevice, RejectsFormatsItCannotPlay)
{
    AudioDevice device;
    std::atomic<int> done{0};
    EXPECT_EQ(device.open(22050, 12, 1, countDone, &done), AudioDevice::BadFormat);
    EXPECT_EQ(device.open(0, 8, 1, countDone, &done), AudioDevice::BadFormat);
    EXPECT_FALSE(device.isOpen());
}

TEST(AudioDevice, ErrorTextsKeepTheOldNames)
{
    struct Case {
        AudioDevice::Result result;
        char const *text;
    } const cases[] = {
        {AudioDevice::BadDeviceId, "Error opening waveOut: BADDEVICEID"},
        {AudioDevice::NoDriver, "Error opening waveOut: NODRIVER"},
        {AudioDevice::NoMemory, "Error opening waveOut: NOMEM"},
        {AudioDevice::BadFormat, "Error opening waveOut: BADFORMAT"},
        {AudioDevice::Sync, "Error opening waveOut: SYNC"},
        {AudioDevice::Unknown, "Error opening waveOut: UNKNOWN"},
    };
    for (Case const &c : cases)
        EXPECT_STREQ(AudioDevice::errorText(c.result), c.text) << int(c.result);
}

TEST(AudioDevice, PlaysEveryBlockOnceAndCountsFrames)
{
    AudioDevice device;
    std::atomic<int> done{0};
    ASSERT_EQ(device.open(44100, 16, 2, countDone, &done), AudioDevice::Ok);
    std::vector<std::vector<int16_t>> blocks(8, std::vector<int16_t>(882 * 2, 0));
    for (auto &b : blocks)
        device.write(b.data(), int(b.size() * sizeof(int16_t)));
    ASSERT_TRUE(waitFor(done, 8));
    EXPECT_EQ(done.load(), 8);
    EXPECT_EQ(device.position(), 8u * 882u);
    device.close();
    EXPECT_EQ(done.load(), 8);
}

TEST(AudioDevice, ResetReturnsEveryQueuedBlock)
{
    AudioDevice device;
    std::atomic<int> done{0};
    ASSERT_EQ(device.open(8000, 8, 1, countDone, &done), AudioDevice::Ok);
    device.pause();
    std::vector<uint8_t> block(8000, 0x80);
    for (int i = 0; i < 5; ++i)
        device.write(block.data(), int(block.size()));
    device.reset();
    EXPECT_EQ(done.load(), 5);
    device.close();
}

// SDL's disk driver writes what it plays to a file: the blocks come out in
// the order they were queued, none lost and none repeated.
TEST(AudioDevice, DiskCaptureHoldsTheBlocksInOrder)
{
    auto path = std::filesystem::temp_directory_path() /
                ("quintar-audio-" + std::to_string(::getpid()) + ".raw");
    QuintarTest::ScopedEnvironment environment;
    environment.Set("SDL_AUDIODRIVER", "disk");
    environment.Set("SDL_DISKAUDIOFILE", path.string());
    environment.Set("SDL_DISKAUDIODELAY", "1");
    std::vector<std::vector<uint8_t>> blocks;
    for (int i = 0; i < 6; ++i)
        blocks.emplace_back(1000, uint8_t(0x10 + i));
    {
        AudioDevice device;
        std::atomic<int> done{0};
        ASSERT_EQ(device.open(8000, 8, 1, countDone, &done), AudioDevice::Ok);
        for (auto &b : blocks)
            device.write(b.data(), int(b.size()));
        ASSERT_TRUE(waitFor(done, 6));
        device.close();
    }
    environment.Restore();

    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> captured((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove(path);
    std::vector<uint8_t> played;
    for (uint8_t byte : captured)
        if (byte != 0x80)
            played.push_back(byte);
    ASSERT_EQ(played.size(), 6000u);
    for (size_t i = 0; i < played.size(); ++i)
        ASSERT_EQ(played[i], 0x10 + i / 1000) << "at " << i;
}

} // namespace
} // namespace ZorvanEngine::Test
