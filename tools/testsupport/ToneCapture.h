// Reading and measuring what a module played through SDL's disk driver as
// unsigned 8-bit mono (128 is silence) or signed 16-bit mono (0 is
// silence), and playing frames at the console's own pace while the driver
// takes the sound in real time.
#pragma once

#include "tools/testsupport/ScopedEnvironment.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace QuintarTest {

// The capture with its leading and trailing silence marked off, and the
// longest silent run in between (a gap in the sound).
template <class Sample>
struct SampleCapture {
    std::vector<Sample> samples;
    size_t begin = 0, end = 0;
    size_t longestSilence = 0;
};
using ToneCapture = SampleCapture<uint8_t>;
using WideCapture = SampleCapture<int16_t>;

// The level of silence of a sample format.
template <class Sample>
constexpr Sample Silence = Sample(0);
template <>
inline constexpr uint8_t Silence<uint8_t> = 128;

template <class Sample>
SampleCapture<Sample> ReadCapture(std::filesystem::path const &path)
{
    SampleCapture<Sample> capture;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> const bytes{std::istreambuf_iterator<char>(in), {}};
    capture.samples.resize(bytes.size() / sizeof(Sample));
    std::copy_n(bytes.data(), capture.samples.size() * sizeof(Sample), reinterpret_cast<char *>(capture.samples.data()));
    std::vector<Sample> const &s = capture.samples;
    while (capture.begin < s.size() && s[capture.begin] == Silence<Sample>)
        ++capture.begin;
    capture.end = s.size();
    while (capture.end > capture.begin && s[capture.end - 1] == Silence<Sample>)
        --capture.end;
    size_t run = 0;
    for (size_t i = capture.begin; i < capture.end; ++i) {
        run = s[i] == Silence<Sample> ? run + 1 : 0;
        capture.longestSilence = std::max(capture.longestSilence, run);
    }
    return capture;
}
inline ToneCapture ReadToneCapture(std::filesystem::path const &path) { return ReadCapture<uint8_t>(path); }
inline WideCapture ReadWideCapture(std::filesystem::path const &path) { return ReadCapture<int16_t>(path); }

// The pitch from the rising crossings of the middle line in [begin, end).
template <class Sample>
double RisingCrossingHertz(std::vector<Sample> const &samples, size_t begin, size_t end, int rate)
{
    size_t first = 0, last = 0;
    int crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (samples[i - 1] < Silence<Sample> && samples[i] >= Silence<Sample>) {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * double(rate) / double(last - first) : 0.0;
}

// Calls step once per 1/60 s for the given number of frames, stopping early
// when it returns false; returns how far the thread fell behind the clock
// at worst (a run that fell far behind may starve the device through no
// fault of the module's).
template <class Step>
std::chrono::steady_clock::duration RunAtFramePace(int frames, Step step)
{
    auto const start = std::chrono::steady_clock::now();
    auto late = std::chrono::steady_clock::duration::zero();
    for (int frame = 0; frame < frames; ++frame) {
        auto const due = start + std::chrono::microseconds(16667) * frame;
        late = std::max(late, std::chrono::steady_clock::now() - due);
        if (!step())
            break;
        std::this_thread::sleep_until(due + std::chrono::microseconds(16667));
    }
    return late;
}

// A fixture whose sound goes through SDL's disk driver into capturePath, in
// the fixture's temporary root, at the driver's own real-time pace.
template <class Sandbox>
class WithDiskSound : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        capturePath = this->root / "capture.raw";
        environment.Set("SDL_AUDIODRIVER", "disk");
        environment.Set("SDL_DISKAUDIOFILE", capturePath.string());
        environment.Unset("SDL_DISKAUDIODELAY");
    }
    void TearDown() override
    {
        Sandbox::TearDown();
        environment.Restore();
    }

    std::filesystem::path capturePath;

private:
    ScopedEnvironment environment;
};

} // namespace QuintarTest
