// Records what a chip model sends through the sound-channel driver: the
// hooks are replaced for the recorder's lifetime.
#pragma once

#include "modules/sounddriver/SoundDriver.h"

#include <ostream>
#include <vector>

namespace Belcrest::Test {

struct DriverCall {
    enum Kind { Sound, Tone, Drum } kind;
    int a, b, c; // (channel, type), (channel, frequency, volume), (kind, force)
    friend bool operator==(DriverCall const &, DriverCall const &) = default;
    friend std::ostream &operator<<(std::ostream &out, DriverCall const &call)
    {
        static char const *const names[] = {"SetSound", "SetTone", "Drum"};
        return out << names[call.kind] << "(" << call.a << ", " << call.b << ", " << call.c << ")";
    }
};

inline DriverCall ToneCall(int channel, int frequency, int volume) { return {DriverCall::Tone, channel, frequency, volume}; }
inline DriverCall SoundCall(int channel, int type) { return {DriverCall::Sound, channel, type, 0}; }
inline DriverCall DrumCall(int kind, int force) { return {DriverCall::Drum, kind, force, 0}; }

class DriverRecorder {
public:
    DriverRecorder() : m_saved(SoundHooks)
    {
        current = this;
        SoundHooks = SoundHookTable{};
        SoundHooks.setSound = [](int channel, int type) { current->calls.push_back(SoundCall(channel, type)); };
        SoundHooks.setTone = [](int channel, int frequency, int volume) {
            current->calls.push_back(ToneCall(channel, frequency, volume));
        };
        SoundHooks.drum = [](int kind, int force) { current->calls.push_back(DrumCall(kind, force)); };
    }
    ~DriverRecorder()
    {
        SoundHooks = m_saved;
        current = nullptr;
    }
    DriverRecorder(DriverRecorder const &) = delete;
    DriverRecorder &operator=(DriverRecorder const &) = delete;

    // The calls so far, and forgets them.
    std::vector<DriverCall> Take()
    {
        std::vector<DriverCall> taken;
        taken.swap(calls);
        return taken;
    }

    std::vector<DriverCall> calls;

private:
    static inline DriverRecorder *current = nullptr;
    SoundHookTable m_saved;
};

} // namespace Belcrest::Test
