// The base of every module's video class. The module renders each frame
// into a surface of a two-surface chain; the base scales that picture into
// a render rectangle on the display's drawing surface, paces the emulation
// to the machine's nominal frame rate with frame skipping, measures the real
// frame rates and, with the engine setting "Debug", draws a statistics strip
// at the top of the screen. The subclass supplies the picture size, the
// colour table, surface locking and the frame-skip counters.
//
// Module video classes read and set several members directly, so they are
// public and keep their order.
#pragma once

#include "common/zorvan/String.h"
#include "engine/PreciseTimer.h"
#include "platform/ondrel/Geometry.h"
#include "platform/ondrel/PixelFormat.h"
#include "platform/ondrel/SurfaceChain.h"

#include <cstdint>

class QFont;

namespace Ondrel {
class DrawingContext;
class PixelFormatConverter;
class Surface;
} // namespace Ondrel

namespace ZorvanEngine {

class Module;

class BaseVideo {
public:
    static constexpr int kStatsWidth = 240;
    static constexpr int kStatsHeight = 12;

    explicit BaseVideo(Module *owner);
    virtual ~BaseVideo();
    BaseVideo(BaseVideo const &) = delete;
    BaseVideo &operator=(BaseVideo const &) = delete;

    // The virtual operations in their fixed order.
    // The subclass creates and adds its two surfaces, then calls this last
    // (its arguments are the subclass's); true.
    virtual bool Open(int width, int height, Ondrel::PixelFormat format);
    // Every override calls this body.
    virtual void Close() = 0;
    virtual void Resume();
    virtual void UpdateSettings();
    // Locks the chain's current surface and hands its pixels to the renderer.
    virtual void Lock() = 0;
    virtual void Unlock();
    // The emulated picture size.
    virtual Ondrel::Point GetScreenSize() = 0;
    virtual void DrawFrame(Ondrel::Rect src);
    // Draws the frame last shown again (after a pause or a dialog).
    virtual void DrawLastFrame();
    virtual void SetColor(int index, int r, int g, int b) = 0;
    // Calls SyncVideo with the subclass's two frame-skip counters.
    virtual bool SyncFrame() = 0;
    // 1 when the machine runs at 60 frames per second, 0 at 50.
    virtual int Is60Hz() = 0;
    virtual void UpdateRenderRect(int srcWidth, int srcHeight, Ondrel::Rect &rect);
    virtual void UpdateSrcRect(Ondrel::Rect &src);
    virtual void SetFastMode(bool fast) = 0;

    void Pause();
    // The next surface of the chain becomes current.
    void Flip();
    bool IsOpen() const { return m_open; }
    Ondrel::DrawingContext *GetDrawingContext() const { return m_context; }
    int GetGameFps() const { return m_gameFps; }
    void ResetSyncTimer();
    // After every drawn frame: counts it and, once a second, smooths the
    // measured rates and redraws the strip.
    void UpdateStats();
    void Sync() {}

    // The statistics text as DrawStats draws it.
    Zorvan::String FormatStats() const;

protected:
    // Frame pacing: waits (with "FrameSync") until a frame is due and tells
    // how many frames to skip, at most maxFrames - 1 ("FrameSkip" + 1).
    // False while the module is paused or no game runs.
    bool SyncVideo(int &skip, int &maxFrames);
    // The measurement of SyncVideo without waiting.
    void UpdatePendingFrames();
    void CreateFont();
    void DestroyFont();
    void DrawStats();

public:
    Ondrel::SurfaceChain m_chain;
    Ondrel::Surface *m_surface0;
    Ondrel::Surface *m_surface1;
    Ondrel::Surface *m_statsSurface;
    Ondrel::Rect m_cachedSrc;
    Ondrel::Rect m_lastSrc;
    QFont *m_font;
    Module *m_module;
    Ondrel::DrawingContext *m_context;
    Ondrel::PixelFormatConverter *m_converter;
    Ondrel::PixelFormatConverter *m_statsConverter;
    CPreciseTimer m_pacingTimer;
    int64_t m_dueFrames;
    int64_t m_remainder;
    int64_t m_waitMs;
    CPreciseTimer m_fpsTimer;
    int m_drawnFrames;
    int m_gameFrames;
    int m_drawnFps;
    int m_gameFps;
    Ondrel::Rect m_renderRect;
    int m_framePeriod;
    int m_nominalFps;
    bool m_showStats;
    int m_frameSkip;
    bool m_frameSync;
    bool m_windowSize;
    bool m_autoScale;
    bool m_unscaled;
    bool m_open;
    Zorvan::String m_screenSize;

private:
    // One measurement of the pacing clock: the frames now due, carrying the
    // rest of a period to the next one. False when the module is paused or
    // no game runs (the counts are then cleared).
    bool MeasureDueFrames(int64_t &elapsed);
};

} // namespace ZorvanEngine
