#include "platform/ondrel/Input.h"

#include "platform/ondrel/Joysticks.h"
#include "platform/ondrel/VirtualKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace Ondrel {

namespace {

constexpr std::uint16_t DefaultKeys[Input::DefaultKeyCount] = {
    VirtualKey::Up, VirtualKey::Down, VirtualKey::Left, VirtualKey::Right,
    VirtualKey::Return,  // Start
    'X', 'Z',            // A, B
    VirtualKey::Space,   // Select
    'A', 'S',            // L, R
    'D', 'C', 'V', 'F', 'Q', 'W', 'E', '1', '2', '3', '4',
};

} // namespace

// Watches the application's events: every key, and the mouse over the view.
class Input::Watcher : public QObject {
public:
    explicit Watcher(Input& input) : m_input(input) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            // A held key repeats as release/press pairs; it stays down.
            if (!key->isAutoRepeat())
                m_input.OnQtKey(VirtualKeyFromQtKey(key->key(), key->modifiers()), event->type() == QEvent::KeyPress);
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove: {
            if (watched != m_input.m_view.data() || !m_input.Active())
                break;
            auto* mouse = static_cast<QMouseEvent*>(event);
            QPoint const p = mouse->position().toPoint();
            m_input.SetStylusPoint(Point{p.x(), p.y()});
            if (mouse->button() == Qt::LeftButton && event->type() != QEvent::MouseMove)
                m_input.SetStylusDown(event->type() == QEvent::MouseButtonPress);
            break;
        }
        case QEvent::ApplicationDeactivate:
            // Releases that happen elsewhere never reach us: forget every key.
            m_input.ReleaseAll();
            break;
        default:
            break;
        }
        return false;
    }

private:
    Input& m_input;
};

Input::Input() : m_joysticks(std::make_unique<Joysticks>())
{
    EnsureWatching();
}

Input::~Input() = default;

void Input::EnsureWatching()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || m_watcher)
        return;
    m_watcher = std::make_unique<Watcher>(*this);
    app->installEventFilter(m_watcher.get());
}

bool Input::Active() const
{
    return (m_openCount > 0 || m_started) && !m_paused;
}

void Input::OnQtKey(int virtualKey, bool down)
{
    if (virtualKey <= 0 || virtualKey >= KeyCount)
        return;
    m_liveKeys[virtualKey] = down;
    if (!down)
        m_heldKeys[virtualKey] = false;
    if (Active())
        m_keys[virtualKey] = down;
}

void Input::ReleaseAll()
{
    for (bool& k : m_keys)
        k = false;
    for (bool& k : m_liveKeys)
        k = false;
    for (bool& k : m_heldKeys)
        k = false;
    m_stylusDown = false;
}

void Input::Start()
{
    EnsureWatching();
    if (!m_started) {
        m_started = true;
        m_joysticks->Open();
    }
}

void Input::Stop()
{
    if (m_started) {
        m_started = false;
        m_joysticks->Close();
    }
}

void Input::Open()
{
    EnsureWatching();
    if (m_openCount++ == 0) {
        m_joysticks->Open();
        IgnoreHeldUntilReleased();
    }
}

void Input::IgnoreHeldUntilReleased()
{
    // A key held now was pressed for something else (the Enter that
    // confirmed a dialog): the game sees it only once it is pressed again.
    // Keys are only set by key events from here on, so clearing is enough.
    for (int i = 0; i < KeyCount; ++i) {
        m_keys[i] = false;
        m_heldKeys[i] = m_liveKeys[i];
    }
    bool held[JoystickButtonCount] = {};
    if (m_openCount > 0)
        m_joysticks->Read(held);
    for (int b = 0; b < JoystickButtonCount; ++b) {
        m_heldButtons[b] = held[b];
        m_buttons[b] = false;
    }
}

void Input::Close()
{
    if (m_openCount == 0 || --m_openCount > 0)
        return;
    // A pause belonged to the game that closed; the next one starts afresh.
    m_paused = false;
    m_joysticks->Close();
    for (bool& k : m_keys)
        k = false;
    for (bool& b : m_buttons)
        b = false;
    m_stylusDown = false;
}

void Input::Pause()
{
    m_paused = true;
    for (bool& k : m_keys)
        k = false;
    for (bool& b : m_buttons)
        b = false;
    m_stylusDown = false;
}

void Input::Resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    IgnoreHeldUntilReleased();
}

void Input::Update()
{
    if (!Active())
        return;
    m_joysticks->Read(m_buttons);
    for (int b = 0; b < JoystickButtonCount; ++b) {
        if (!m_heldButtons[b])
            continue;
        if (m_buttons[b])
            m_buttons[b] = false;
        else
            m_heldButtons[b] = false;
    }
}

void Input::KeyEvent(int virtualKey, bool down)
{
    if (virtualKey < 0 || virtualKey >= KeyCount || m_paused)
        return;
    m_keys[virtualKey] = down;
}

int Input::IsKeyDown(int virtualKey) const
{
    if (virtualKey <= 0 || virtualKey >= KeyCount)
        return 0;
    return m_keys[virtualKey] ? 1 : 0;
}

bool Input::IsHeldOver(int virtualKey) const
{
    return virtualKey > 0 && virtualKey < KeyCount && m_heldKeys[virtualKey];
}

short Input::GetAsyncKeyState(int virtualKey) const
{
    if (virtualKey <= 0 || virtualKey >= KeyCount)
        return 0;
    return m_liveKeys[virtualKey] ? short(0x8000) : short(0);
}

void Input::HardwareKeyEvent(int key, bool down)
{
    if (key < 0 || key >= HardwareKeyCount || m_paused)
        return;
    m_hardwareKeys[key] = down;
}

int Input::IsHardwareKeyDown(int key) const
{
    if (key < 0 || key >= HardwareKeyCount)
        return 0;
    return (m_hardwareKeys[key] || (key < JoystickButtonCount && m_buttons[key])) ? 1 : 0;
}

int Input::IsJoystickButtonDown(int button) const
{
    if (button < 0 || button >= JoystickButtonCount)
        return 0;
    return m_buttons[button] ? 1 : 0;
}

void Input::SetStylusDown(bool down)
{
    m_stylusDown = down && !m_paused;
}

void Input::SetStylusPoint(Point point)
{
    m_stylus = point;
}

int Input::IsStylusDown() const
{
    return m_stylusDown ? 1 : 0;
}

Point Input::GetStylusPoint() const
{
    return m_stylus;
}

std::uint16_t const* Input::GetDefaultKeys() const
{
    return DefaultKeys;
}

void Input::AttachView(QWidget* view)
{
    EnsureWatching();
    m_view = view;
}

bool Input::HasControllerSupport() const
{
    return m_joysticks->IsAvailable();
}

} // namespace Ondrel
