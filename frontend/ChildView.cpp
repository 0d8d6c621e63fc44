#include "frontend/ChildView.h"

#include "common/SeException/SeException.h"
#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "engine/Module.h"
#include "engine/PadSkin.h"
#include "frontend/MainFrame.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/DrawingContext.h"
#include "platform/ondrel/Input.h"
#include "platform/ondrel/PixelFormatConverter.h"
#include "platform/ondrel/Surface.h"
#include "platform/ondrel/VirtualKeys.h"
#include "platform/ondrel/Window.h"
#include "engine/QtString.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolBar>

#include <thread>

// The view's bitmaps live in this static library: their registration must
// be pulled in by hand.
static void InitViewResources()
{
    Q_INIT_RESOURCE(views);
}

namespace {

QColor ToQColor(int rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Scales the whole of src onto rect of the target surface.
void BlitScaled(Ondrel::Surface *target, Ondrel::Rect const &rect, Ondrel::Surface const *src)
{
    std::unique_ptr<Ondrel::DrawingContext> context(target->CreateDrawingContext());
    Ondrel::PixelFormatConverter converter;
    context->Blit(rect, src, src->GetRect(), &converter);
}

} // namespace

ChildView::ChildView(MainFrame *frame) : QWidget(frame), m_frame(frame)
{
    InitViewResources();
    setObjectName(QStringLiteral("Quintar.ChildView"));
    setFocusPolicy(Qt::StrongFocus);
}

ChildView::~ChildView() = default;

QString ChildView::GetResourceRoot()
{
    return QStringLiteral(":/views");
}

void ChildView::ReleaseImages()
{
    m_background.reset();
    m_backgroundName.Empty();
    m_paused.reset();
}

// ---- GameRunner ----

bool ChildView::ShouldWait()
{
    return !ourEngine || !ourEngine->m_running || ourEngine->m_pauseCount != 0 || ourEngine->m_userPaused;
}

void ChildView::RunFrame()
{
    ZorvanEngine::Module *module = ourEngine ? ourEngine->m_activeModule : nullptr;
    if (!module)
        return;
    try {
        CSeException::Guard([module] { module->RunFrame(); });
    } catch (CSeException *) {
        // The machine's state is whatever the fault left: report it and shut
        // the engine down, so that the machine never runs again.
        ReportCaughtException();
    }
}

// ---- painting ----

bool ChildView::IsForeground() const
{
    QWidget const *active = QApplication::activeWindow();
    if (!active)
        return false;
    if (active == window())
        return true;
    QWidget const *frame = ourEngine ? ourEngine->GetAppHwnd() : nullptr;
    return frame && active == frame->window();
}

void ChildView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_frame)
        m_frame->FitDisplayToView();
}

void ChildView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!ourEngine) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (ourEngine->IsShutdownPending()) {
        ourEngine->Shutdown();
        FrameCommandStates();
    }
    ourEngine->UpdateSettings();
    Ondrel::Display *display = ourEngine->GetDisplay();
    if (!display || !display->IsOpen())
        return;
    display->Resume();
    if (IsForeground()) {
        Draw(painter);
        if (!m_input)
            m_input = ourEngine->GetInput();
        display->Suspend();
    } else {
        painter.fillRect(rect(), Qt::black);
    }
}

void ChildView::Draw(QPainter &painter)
{
    Ondrel::Display *display = ourEngine->GetDisplay();
    Ondrel::Surface *surface = ourEngine->GetDrawingSurface();
    if (!surface)
        return;
    int const padSize = ourEngine->GetPadSkinSize();
    DrawBackground(painter, surface, padSize);

    ZorvanEngine::Module *module = ourEngine->GetActiveModule();
    if (module && module->GetVideo())
        module->GetVideo()->DrawLastFrame();

    if (ourEngine->IsRunning() && (ourEngine->IsPaused() || ourEngine->IsUserPaused()))
        DrawPausedImage(surface, padSize);

    if (module && ourEngine->IsPadSkinVisible()) {
        module->LoadPad();
        if (ZorvanEngine::PadSkin *skin = ourEngine->GetPadSkinMgr().GetActiveSkin())
            skin->DrawImage(this, 0, surface->GetHeight() - skin->GetImageSize().y / 2);
    }
    // Shown right after this paint.
    display->Refresh(Ondrel::Rect());
}

void ChildView::DrawBackground(QPainter &painter, Ondrel::Surface *surface, int padSize)
{
    PropertyMap &settings = ourEngine->GetSettings();
    Zorvan::String const name = settings.GetString(L"BGFileName");
    if (name.IsEmpty()) {
        m_background.reset();
        m_backgroundName.Empty();
    } else if (!m_background || name.Compare(m_backgroundName) != 0) {
        m_background.reset(ourEngine->GetDisplay()->LoadBitmapFile(ToQString(name)));
        m_backgroundName = name;
        if (!m_background) {
            // Not tried again on every paint.
            settings.Set(L"BGFileName", L"", false);
            m_backgroundName.Empty();
        }
    }

    if (!m_background) {
        FillBackgroundColor(painter, surface);
        return;
    }
    if (ourEngine->GetDisplay()->GetRotation() != Ondrel::RotationNorth)
        FillBackgroundColor(painter, surface);
    else
        painter.drawImage(QRect(0, 0, width(), height() - padSize), m_background->AsImage());
    BlitScaled(surface, Ondrel::Rect{0, 0, surface->GetWidth(), surface->GetHeight() - padSize}, m_background.get());
}

void ChildView::FillBackgroundColor(QPainter &painter, Ondrel::Surface *surface)
{
    int const color = ourEngine->GetSettings().GetInt(L"BGColor") & 0xFFFFFF;
    painter.fillRect(rect(), ToQColor(color));
    std::unique_ptr<Ondrel::DrawingContext> context(surface->CreateDrawingContext());
    context->Fill(surface->GetRect(), static_cast<std::uint32_t>(color));
}

void ChildView::DrawPausedImage(Ondrel::Surface *surface, int padSize)
{
    if (!m_paused)
        m_paused.reset(ourEngine->GetDisplay()->LoadBitmapResource(GetResourceRoot(), kPausedImageId));
    if (!m_paused)
        return;
    int const w = m_paused->GetWidth();
    int const h = m_paused->GetHeight();
    int const x = (surface->GetWidth() - w) / 2;
    int const y = (surface->GetHeight() - h - padSize) / 2;
    BlitScaled(surface, Ondrel::Rect{x, y, w, h}, m_paused.get());
}

// ---- keys ----

void ChildView::keyPressEvent(QKeyEvent *event)
{
    // Alt combinations (the old system keys) go nowhere.
    if (event->modifiers() & Qt::AltModifier) {
        event->accept();
        return;
    }
    bool const running = ourEngine && ourEngine->IsRunning();
    ZorvanEngine::Module *module = ourEngine ? ourEngine->GetActiveModule() : nullptr;
    switch (Ondrel::VirtualKeyFromQtKey(event->key(), event->modifiers())) {
    case Ondrel::VirtualKey::Escape:
        if (!ourEngine || !ourEngine->GetSettings().GetBoolean(L"FullScreen"))
            break;
        ToggleFullScreen();
        return;
    case Ondrel::VirtualKey::Pause:
        if (!running)
            return;
        if (ourEngine->IsUserPaused()) {
            ourEngine->UserResume();
        } else {
            ourEngine->UserPause();
            if (Ondrel::Window *window = ourEngine->GetWindow())
                window->Refresh();
        }
        FrameCommandStates();
        return;
    case Ondrel::VirtualKey::F1 + 4: // F5
        if (!running || !module)
            return;
        module->GetSettings().Set(L"FrameSync", !module->GetSettings().GetBoolean(L"FrameSync"), false);
        ourEngine->UpdateSettings();
        return;
    case Ondrel::VirtualKey::F1 + 7: // F8
        if (running)
            FrameCommand(ID_RESET);
        return;
    case Ondrel::VirtualKey::F1 + 8: // F9
        FrameCommand(ID_TOOLS);
        return;
    case Ondrel::VirtualKey::F1 + 10: // F11
        if (module && module->GetVideo()) {
            ZorvanEngine::BaseVideo *video = module->GetVideo();
            video->Unlock();
            video->Flip();
            video->Lock();
        }
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

// ---- the mouse as the stylus ----

bool ChildView::ForwardStylus(QMouseEvent *event, int pressed)
{
    if (!m_input)
        return false;
    QPoint const p = event->position().toPoint();
    if (pressed >= 0)
        m_input->SetStylusDown(pressed != 0);
    m_input->SetStylusPoint(Ondrel::Point{p.x(), p.y()});
    return true;
}

void ChildView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !ForwardStylus(event, 1))
        return;
    // In full screen with the pad shown, a tap on the pad only presses its
    // buttons. (Escape is not bound by this: it always leaves full screen.)
    if (ourEngine) {
        PropertyMap const &s = ourEngine->GetSettings();
        if (s.GetBoolean(L"VirtualPad") && s.GetBoolean(L"FullScreen") && m_input->GetStylusPoint().y > kPadTapLine)
            return;
    }
    ToggleFullScreen();
}

void ChildView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        ForwardStylus(event, 0);
}

void ChildView::mouseMoveEvent(QMouseEvent *event)
{
    ForwardStylus(event, -1);
}

void ChildView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

// ---- full screen ----

void ChildView::ToggleFullScreen()
{
    if (!ourEngine)
        return;
    PropertyMap &settings = ourEngine->GetSettings();
    if (settings.GetBoolean(L"NoFullScreen"))
        return;
    ourEngine->Pause();
    if (settings.GetBoolean(L"FullScreen")) {
        LeaveFullScreen();
    } else if (!EnterFullScreen()) {
        ourEngine->Resume();
        return;
    }
    ourEngine->UpdateSettings();
    FrameCommandStates();
    std::this_thread::yield();
    ourEngine->Resume();
    raise();
    if (Ondrel::Window *window = ourEngine->GetWindow())
        window->Refresh();
}

void ChildView::LeaveFullScreen()
{
    PropertyMap &settings = ourEngine->GetSettings();
    // The window shows the background colour until the next paint.
    if (Ondrel::Surface *surface = ourEngine->GetDrawingSurface()) {
        std::unique_ptr<Ondrel::DrawingContext> context(surface->CreateDrawingContext());
        context->Fill(surface->GetRect(), static_cast<std::uint32_t>(settings.GetInt(L"BGColor") & 0xFFFFFF));
    }
    settings.Set(L"FullScreen", false, true);
    if (settings.GetBoolean(L"AutoPause"))
        ourEngine->UserPause();
    ShowFrameToolBar(true);
    // The window system puts the frame back where it was.
    ourEngine->GetOndrel()->SetFullScreen(Ondrel::FullScreenLeave);
}

bool ChildView::EnterFullScreen()
{
    if (!ourEngine->IsRunning() || ourEngine->IsUserPaused())
        return false;
    ourEngine->GetSettings().Set(L"FullScreen", true, true);
    ShowFrameToolBar(false);
    ourEngine->GetOndrel()->SetFullScreen(Ondrel::FullScreenEnter);
    return true;
}

// ---- the frame ----

void ChildView::FrameCommand(int id)
{
    if (m_frame)
        m_frame->OnCommand(id);
}

void ChildView::FrameCommandStates()
{
    if (m_frame)
        m_frame->UpdateCommandStates();
}

void ChildView::ShowFrameToolBar(bool show)
{
    if (m_frame && m_frame->GetToolBar())
        m_frame->GetToolBar()->setVisible(show);
}
