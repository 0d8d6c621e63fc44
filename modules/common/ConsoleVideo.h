// The part of a console module's video that every console shares: closing,
// frame pacing with the machine's frame-skip counters, and fast mode. The
// console's video derives from it and supplies Open, Lock, GetScreenSize,
// SetColor and Is60Hz (and publishes itself where its machine finds it).
#pragma once

#include "engine/BaseVideo.h"

namespace ConsoleGlue {

class ConsoleVideo : public ZorvanEngine::BaseVideo {
public:
    // skipCountdown: frames still to skip before the next drawn one;
    // skipPeriod: frames per drawn frame. Both are the machine's words,
    // read by its frame step; they must outlive the video.
    ConsoleVideo(ZorvanEngine::Module *owner, int &skipCountdown, int &skipPeriod);

    // BaseVideo::Close.
    void Close() override;
    // BaseVideo::SyncVideo on the two counters.
    bool SyncFrame() override;
    // On: every frame drawn from the next one (0, 1); off: (5, 5) until
    // the next SyncFrame sets them from the settings.
    void SetFastMode(bool fast) override;

private:
    int &m_skipCountdown;
    int &m_skipPeriod;
};

} // namespace ConsoleGlue
