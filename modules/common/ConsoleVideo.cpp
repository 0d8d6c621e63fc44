#include "modules/common/ConsoleVideo.h"

namespace ConsoleGlue {

ConsoleVideo::ConsoleVideo(ZorvanEngine::Module *owner, int &skipCountdown, int &skipPeriod)
    : BaseVideo(owner), m_skipCountdown(skipCountdown), m_skipPeriod(skipPeriod)
{
}

void ConsoleVideo::Close()
{
    BaseVideo::Close();
}

bool ConsoleVideo::SyncFrame()
{
    return SyncVideo(m_skipCountdown, m_skipPeriod);
}

void ConsoleVideo::SetFastMode(bool fast)
{
    m_skipCountdown = fast ? 0 : 5;
    m_skipPeriod = fast ? 1 : 5;
}

} // namespace ConsoleGlue
