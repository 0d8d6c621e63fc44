#pragma once

#include "platform/ondrel/Geometry.h"
#include "platform/ondrel/PixelFormatConverter.h"

#include <cstdint>
#include <vector>

namespace Ondrel {

class Surface;
class SurfaceChain;

// Draws into one surface: scaled, converting blits (smoothed on request),
// fills, a clip rectangle and copying of changed rows only.
class DrawingContext {
public:
    explicit DrawingContext(Surface* target);

    // Scales srcRect of src onto dst. The source rectangle is cut to the
    // source surface (the target shrinks with it); the target is cut to the
    // clip and the surface. A null converter uses the context's own.
    // False for a call that cannot draw (no source, an empty rectangle, a
    // source rectangle wholly outside the source, an unsupported pair of
    // formats); true when drawn, also when the clip left nothing to draw.
    bool Blit(Rect const& dst, Surface const* src, Rect const& srcRect, PixelFormatConverter* converter);
    // The same from the chain's current surface.
    bool Blit(Rect const& dst, SurfaceChain const* chain, Rect const& srcRect, PixelFormatConverter* converter);

    // Fills the rectangle (cut to the clip) with a 0x00RRGGBB colour.
    void Fill(Rect const& rect, std::uint32_t rgb);

    void SetClip(Rect const& clip);
    void ClearClip();
    Rect GetClip() const;

    // Scaled blits mix neighbouring source pixels instead of repeating
    // them, so that an enlarged picture shows no blocks or uneven pixels.
    void UseSmoothing(bool on) { m_smooth = on; }
    bool IsSmoothing() const { return m_smooth; }

    // Rows whose source did not change since the last blit with the same
    // geometry are not drawn again, as long as nothing else drew into the
    // target in between.
    void UseChangedBlit(bool on);
    bool IsChangedBlit() const { return m_changedOnly; }

    Surface* GetSurface() const { return m_target; }
    Rect GetRect() const;

private:
    std::uint8_t const* ChangedRows(Surface const& src, Rect const& srcRect, Rect const& dst, Rect const& visible);

    Surface* m_target;
    Rect m_clip;
    bool m_hasClip = false;
    bool m_smooth = false;
    bool m_changedOnly = false;
    PixelFormatConverter m_ownConverter;

    // What the last blit drew, for changed-only blitting.
    struct LastBlit {
        bool valid = false;
        Rect srcRect, dst, visible;
        int format = 0;
        unsigned paletteVersion = 0;
        unsigned targetGeneration = 0;
    } m_last;
    std::vector<std::uint8_t> m_shadow;
    std::vector<std::uint8_t> m_rowChanged;
};

} // namespace Ondrel
