#pragma once

#include <vector>

namespace Ondrel {

class Surface;

// A ring of surfaces drawn in turn; it does not own them.
class SurfaceChain {
public:
    void Add(Surface* surface);
    Surface* GetCurrent() const;  // null when empty
    void Flip();                  // the next surface becomes current, cyclically
    void RemoveAll();
    int GetCount() const { return static_cast<int>(m_surfaces.size()); }

private:
    std::vector<Surface*> m_surfaces;
    std::size_t m_current = 0;
};

} // namespace Ondrel
