#include "platform/ondrel/SurfaceChain.h"

namespace Ondrel {

void SurfaceChain::Add(Surface* surface)
{
    if (surface)
        m_surfaces.push_back(surface);
}

Surface* SurfaceChain::GetCurrent() const
{
    return m_surfaces.empty() ? nullptr : m_surfaces[m_current];
}

void SurfaceChain::Flip()
{
    if (!m_surfaces.empty())
        m_current = (m_current + 1) % m_surfaces.size();
}

void SurfaceChain::RemoveAll()
{
    m_surfaces.clear();
    m_current = 0;
}

} // namespace Ondrel
