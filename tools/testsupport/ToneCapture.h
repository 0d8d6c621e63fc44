// Reading and measuring what a module played through SDL's disk driver as
// unsigned 8-bit mono (128 is silence), and playing frames at the console's
// own pace while the driver takes the sound in real time.
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
struct ToneCapture {
    std::vector<uint8_t> samples;
    size_t begin = 0, end = 0;
    size_t longestSilence = 0;
};

inline ToneCapture ReadToneCapture(std::filesystem::path const &path)
{
    ToneCapture capture;
    std::ifstream in(path, std::ios::binary);
    capture.samples.assign(std::istreambuf_iterator<char>(in), {});
    std::vector<uint8_t> const &s = capture.samples;
    while (capture.begin < s.size() && s[capture.begin] == 128)
        ++capture.begin;
    capture.end = s.size();
    while (capture.end > capture.begin && s[capture.end - 1] == 128)
        --capture.end;
    size_t run = 0;
    for (size_t i = capture.begin; i < capture.end; ++i) {
        run = s[i] == 128 ? run + 1 : 0;
        capture.longestSilence = std::max(capture.longestSilence, run);
    }
    return capture;
}

// The pitch from the rising crossings of the middle line in [begin, end).
inline double RisingCrossingHertz(std::vector<uint8_t> const &samples, size_t begin, size_t end, int rate)
{
    size_t first = 0, last = 0;
    int crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (samples[i - 1] < 128 && samples[i] >= 128) {
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
