#include "engine/BaseVideo.h"

#include "engine/AppModule.h"
#include "engine/BaseSound.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/DrawingContext.h"
#include "platform/ondrel/PixelFormatConverter.h"
#include "platform/ondrel/Surface.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace ZorvanEngine {

namespace {

// "ScreenSize" texts that enlarge in 5 % steps: level 1 ("105%") to 10 ("150%").
// Level L shows the picture at 100 + 5 L percent of its size each way.
constexpr wchar_t const *kStepSizes[] = {L"105%", L"110%", L"115%", L"120%", L"125%",
                                         L"130%", L"135%", L"140%", L"145%", L"150%"};
// "ScreenSize" texts that multiply the picture without fitting it.
struct Multiple {
    wchar_t const *text;
    int factor;
};
constexpr Multiple kMultiples[] = {{L"200%", 2}, {L"300%", 3}, {L"400%", 4}};
constexpr int kAutoScaleLevel = 100;

constexpr uint32_t kStatsBackground = 0x000000;
constexpr uint32_t kStatsText = 0xFF0000;

Ondrel::Display *EngineDisplay()
{
    return ourEngine ? ourEngine->GetDisplay() : nullptr;
}

int PadHeight()
{
    return ourEngine ? ourEngine->GetPadSkinSize() : 0;
}

// percent % of a length, to the nearest whole pixel.
int Percent(int length, int percent)
{
    return static_cast<int>((static_cast<int64_t>(length) * percent + 50) / 100);
}

} // namespace

BaseVideo::BaseVideo(Module *owner)
    : m_surface0(nullptr), m_surface1(nullptr), m_statsSurface(nullptr), m_font(nullptr), m_module(owner),
      m_context(nullptr), m_converter(nullptr), m_statsConverter(nullptr), m_pacingTimer(1000000), m_dueFrames(0),
      m_remainder(0), m_waitMs(0), m_fpsTimer(1000), m_drawnFrames(0), m_gameFrames(0), m_drawnFps(0), m_gameFps(0),
      m_framePeriod(16667), m_nominalFps(60), m_showStats(false), m_frameSkip(0), m_frameSync(false),
      m_windowSize(false), m_autoScale(false), m_unscaled(true), m_open(false)
{
}

BaseVideo::~BaseVideo()
{
    // Close is the subclass's to call; whatever it left is freed here.
    delete m_surface0;
    delete m_surface1;
    delete m_context;
    delete m_converter;
    delete m_statsConverter;
    delete m_statsSurface;
    DestroyFont();
}

bool BaseVideo::Open(int, int, Ondrel::PixelFormat)
{
    // A second Open without Close (the engine reopening the video on a new
    // display) replaces what the first made.
    delete m_context;
    delete m_converter;
    delete m_statsConverter;
    delete m_statsSurface;
    m_context = nullptr;
    m_statsSurface = nullptr;

    CreateFont();
    if (Ondrel::Display *display = EngineDisplay())
        m_statsSurface = display->CreateSurface(kStatsWidth, kStatsHeight, Ondrel::PixelFormatRGB565);
    m_converter = new Ondrel::PixelFormatConverter();
    m_statsConverter = new Ondrel::PixelFormatConverter();
    if (ourEngine) {
        if (Ondrel::Surface *surface = ourEngine->GetDrawingSurface())
            m_context = surface->CreateDrawingContext();
    }
    ResetSyncTimer();
    m_open = true;
    UpdateSettings();
    Resume();
    return true;
}

void BaseVideo::Close()
{
    m_open = false;
    m_chain.RemoveAll();
    for (Ondrel::Surface *surface : {m_surface0, m_surface1}) {
        while (surface && surface->IsLocked())
            surface->Unlock();
    }
    delete m_context;
    delete m_converter;
    delete m_statsConverter;
    delete m_surface0;
    delete m_surface1;
    delete m_statsSurface;
    m_context = nullptr;
    m_converter = m_statsConverter = nullptr;
    m_surface0 = m_surface1 = m_statsSurface = nullptr;
    DestroyFont();
    if (ourEngine && ourEngine->GetActiveModule() == m_module) {
        if (Ondrel::Display *display = EngineDisplay())
            display->CloseVideo();
    }
}

void BaseVideo::UpdateSettings()
{
    if (ourEngine)
        m_showStats = ourEngine->GetSettings().GetBoolean(L"Debug");
    if (m_module) {
        PropertyMap const &settings = m_module->GetSettings();
        // A negative count would keep every later frame from being drawn and
        // a huge one overflows the frame count; the pages offer 0 to 8.
        m_frameSkip = std::clamp(settings.GetInt(L"FrameSkip"), 0, 8);
        m_frameSync = settings.GetBoolean(L"FrameSync");
        m_screenSize = settings.GetString(L"ScreenSize");
        if (m_context)
            m_context->UseSmoothing(settings.GetBoolean(L"UseBlend"));
    }
    m_windowSize = m_screenSize == L"Window Size";
    m_autoScale = m_screenSize == L"Auto Scale";
    if (Is60Hz() == 1) {
        m_framePeriod = 16667;
        m_nominalFps = 60;
    } else {
        m_framePeriod = 20000;
        m_nominalFps = 50;
    }
    m_cachedSrc = Ondrel::Rect();
}

void BaseVideo::ResetSyncTimer()
{
    m_drawnFps = m_gameFps = m_nominalFps;
    m_drawnFrames = m_gameFrames = 0;
    m_dueFrames = m_remainder = m_waitMs = 0;
    m_pacingTimer.Begin();
    m_fpsTimer.Begin();
    UpdateSettings();
}

void BaseVideo::Pause()
{
    ResetSyncTimer();
    if (Ondrel::Display *display = EngineDisplay())
        display->Suspend();
}

void BaseVideo::Resume()
{
    ResetSyncTimer();
    if (Ondrel::Display *display = EngineDisplay())
        display->Resume();
    DrawStats();
    DrawLastFrame();
}

void BaseVideo::Unlock()
{
    if (Ondrel::Surface *surface = m_chain.GetCurrent())
        surface->Unlock();
}

void BaseVideo::Flip()
{
    m_chain.Flip();
}

void BaseVideo::UpdateSrcRect(Ondrel::Rect &src)
{
    if (m_windowSize || m_autoScale || !ourEngine)
        return;
    Ondrel::Surface const *surface = ourEngine->GetDrawingSurface();
    if (!surface)
        return;
    Ondrel::Rect const screen = surface->GetRect();
    int const pad = PadHeight();
    // Cropped around the centre to what fits above the pad.
    if (src.width > screen.width) {
        src.x += (src.width - screen.width) >> 1;
        src.width = screen.width;
    }
    if (src.height + pad > screen.height) {
        src.y += (src.height + pad - screen.height) >> 1;
        src.height = screen.height - pad;
    }
}

void BaseVideo::UpdateRenderRect(int w, int h, Ondrel::Rect &rect)
{
    if (!m_module || !ourEngine || !ourEngine->GetWindow() || !m_context || w == 0 || h == 0)
        return;
    Ondrel::Rect area = m_context->GetRect();
    area.height -= PadHeight();
    if (m_windowSize) {
        rect = area;
        return;
    }

    int width = w;
    int height = h;
    int level = 0;
    for (int i = 0; i < 10; ++i) {
        if (m_screenSize == kStepSizes[i])
            level = i + 1;
    }
    for (Multiple const &multiple : kMultiples) {
        if (m_screenSize == multiple.text) {
            width = w * multiple.factor;
            height = h * multiple.factor;
        }
    }
    if (m_autoScale)
        level = kAutoScaleLevel;
    if (area.width <= w || area.height <= h)
        level = 0;

    // The named size, or the largest smaller step that fits the window; the
    // smallest step is taken whether it fits or not.
    bool reachedLast = false;
    if (level > 0) {
        int const step = ourEngine->GetSettings().GetInt(L"DesktopHeight") > 320 ? 16 : 8;
        for (int k = level; k >= 1; --k) {
            int tryWidth, tryHeight;
            if (m_autoScale) {
                tryWidth = step * k;
                tryHeight = static_cast<int>(static_cast<double>(tryWidth) * h / w);
            } else {
                int const percent = 100 + 5 * k;
                tryWidth = Percent(w, percent);
                tryHeight = Percent(h, percent);
            }
            if ((tryWidth <= area.width && tryHeight <= area.height) || k == 1) {
                width = tryWidth;
                height = tryHeight;
                reachedLast = k == 1;
                break;
            }
        }
    }
    m_unscaled = level == 0 || reachedLast;

    if (m_autoScale) {
        // The whole picture at the largest size that fits, its shape kept:
        // the side that runs out of room first decides.
        if (static_cast<int64_t>(area.width) * h <= static_cast<int64_t>(area.height) * w) {
            width = area.width;
            height = static_cast<int>(static_cast<int64_t>(area.width) * h / w);
        } else {
            height = area.height;
            width = static_cast<int>(static_cast<int64_t>(area.height) * w / h);
        }
    }

    rect.width = width;
    rect.height = height;
    rect.x = area.x + (area.width - width) / 2;
    rect.y = area.y + (area.height - height) / 2;
    if (rect.x > 0 && (rect.x & 1))
        --rect.x;
    if (rect.y > 0 && (rect.y & 1))
        --rect.y;
}

void BaseVideo::DrawFrame(Ondrel::Rect src)
{
    Ondrel::Display *display = EngineDisplay();
    if (display && display->IsSuspended())
        display->Resume();

    m_lastSrc = src;
    UpdateSrcRect(src);
    if (src != m_cachedSrc || m_renderRect.IsNull()) {
        m_cachedSrc = src;
        UpdateRenderRect(src.width, src.height, m_renderRect);
    }

    if (m_context) {
        m_context->ClearClip();
        bool clipped = false;
        if (m_showStats && m_statsSurface) {
            Ondrel::Rect const whole = m_context->GetRect();
            Ondrel::Rect area = whole;
            area.height -= PadHeight();
            int const x0 = std::max(0, (area.width - kStatsWidth) / 2);
            if (area.width > kStatsWidth) {
                m_context->Fill(Ondrel::Rect{area.x, area.y, x0, kStatsHeight}, kStatsBackground);
                int const right = area.x + x0 + kStatsWidth;
                m_context->Fill(Ondrel::Rect{right, area.y, area.Right() - right, kStatsHeight}, kStatsBackground);
            }
            m_context->Blit(Ondrel::Rect{area.x + x0, area.y, kStatsWidth, kStatsHeight}, m_statsSurface,
                            m_statsSurface->GetRect(), m_statsConverter);
            int const stripBottom = area.y + kStatsHeight;
            if (stripBottom >= m_renderRect.y) {
                m_context->SetClip(Ondrel::Rect{whole.x, stripBottom, whole.width, whole.Bottom() - stripBottom});
                clipped = true;
            }
        }
        m_context->Blit(m_renderRect, &m_chain, src, m_converter);
        if (clipped)
            m_context->ClearClip();
    }

    SyncFrame();
    UpdateStats();
}

void BaseVideo::DrawLastFrame()
{
    if (!m_open)
        return;
    Unlock();
    // Back to the surface shown last.
    for (int i = 1; i < m_chain.GetCount(); ++i)
        m_chain.Flip();
    if (m_context)
        m_context->UseChangedBlit(false);
    if (m_lastSrc.width == 0 || m_lastSrc.height == 0) {
        Ondrel::Point const size = GetScreenSize();
        m_lastSrc = Ondrel::Rect{0, 0, size.x, size.y};
    }
    DrawFrame(m_lastSrc);
    if (m_context)
        m_context->UseChangedBlit(true);
    m_chain.Flip();
    Lock();
}

bool BaseVideo::MeasureDueFrames(int64_t &elapsed)
{
    bool const stopped = !ourEngine || !ourEngine->IsRunning() || (m_module && m_module->IsPaused());
    if (stopped) {
        m_dueFrames = 0;
        m_remainder = 0;
        elapsed = 0;
        return false;
    }
    elapsed = static_cast<int64_t>(m_pacingTimer.End()) + m_remainder;
    m_dueFrames = elapsed / m_framePeriod;
    if (m_dueFrames > 0) {
        m_pacingTimer.Begin();
        m_remainder = elapsed - m_dueFrames * m_framePeriod;
    }
    return true;
}

void BaseVideo::UpdatePendingFrames()
{
    int64_t elapsed;
    MeasureDueFrames(elapsed);
}

bool BaseVideo::SyncVideo(int &skip, int &maxFrames)
{
    maxFrames = m_frameSkip + 1;
    if (!m_frameSync || !m_pacingTimer.IsValid()) {
        skip = m_frameSkip;
    } else {
        GameLoop const *loop = ourEngine ? ourEngine->GetGameLoop() : nullptr;
        bool const yield = loop && loop->m_throttleMode > 0;
        for (;;) {
            int64_t elapsed;
            if (!MeasureDueFrames(elapsed)) {
                skip = 0;
                return false;
            }
            if (m_dueFrames > 0)
                break;
            // Sleep for all but the last 2 ms; spin (or yield) through short waits.
            m_waitMs = (m_framePeriod - elapsed) / 1000;
            if (m_waitMs >= 4)
                CPreciseTimer::Sleep(static_cast<unsigned>(m_waitMs - 2));
            else if (yield)
                CPreciseTimer::Sleep(0);
        }
        int64_t const due = m_dueFrames;
        skip = static_cast<int>(std::min<int64_t>(due >= 2 ? due - 1 : 0, maxFrames - 1));
    }
    m_dueFrames = 0;
    m_gameFrames += skip + 1;
    return true;
}

void BaseVideo::UpdateStats()
{
    ++m_drawnFrames;
    uint64_t const elapsed = m_fpsTimer.End();
    if (elapsed < 1000)
        return;
    m_fpsTimer.Begin();
    if (m_drawnFps != 0 && m_gameFps != 0) {
        // Frames per second over the time that really passed: a stalled
        // second must lower the rate, not raise it.
        auto smooth = [&](int rate, int frames) {
            int const measured = static_cast<int>(static_cast<uint64_t>(frames) * 1000 / elapsed);
            int const result = (rate + measured) / 2;
            return result > m_nominalFps - 2 ? m_nominalFps : result;
        };
        m_drawnFps = smooth(m_drawnFps, m_drawnFrames);
        m_gameFps = smooth(m_gameFps, m_gameFrames);
    } else {
        m_drawnFps = m_gameFps = m_nominalFps;
    }
    m_drawnFrames = m_gameFrames = 0;
    DrawStats();
}

Zorvan::String BaseVideo::FormatStats() const
{
    Zorvan::String text;
    text.Format(L"FPS: %d/%d (%d)", m_gameFps, m_nominalFps, m_drawnFps);
    BaseSound *sound = m_module ? m_module->GetSound() : nullptr;
    if (sound && sound->IsOpen()) {
        Zorvan::String blocks;
        blocks.Format(L"  Bk: %d Bf: %d/%d/%d", sound->m_blockCount, sound->m_playedLast, sound->m_queued,
                      sound->m_toWrite);
        text += blocks;
    }
    return text;
}

void BaseVideo::CreateFont()
{
    DestroyFont();
    m_font = new QFont(QStringLiteral("Sans Serif"));
    m_font->setPixelSize(kStatsHeight - 1);
    m_font->setWeight(QFont::Bold);
}

void BaseVideo::DestroyFont()
{
    delete m_font;
    m_font = nullptr;
}

void BaseVideo::DrawStats()
{
    if (!m_showStats || !m_statsSurface)
        return;
    QImage image = m_statsSurface->AsImage();
    image.fill(QColor::fromRgb(kStatsBackground));
    // Text needs the fonts of a GUI application.
    if (m_font && qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QPainter painter(&image);
        painter.setFont(*m_font);
        painter.setPen(QColor::fromRgb(kStatsText));
        painter.drawText(image.rect(), Qt::AlignHCenter | Qt::AlignTop,
                         QString::fromUtf8(static_cast<char const *>(FormatStats())));
    }
    m_statsSurface->MarkChanged();
}

} // namespace ZorvanEngine
