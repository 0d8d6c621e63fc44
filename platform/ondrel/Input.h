#pragma once

#include "platform/ondrel/Geometry.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace Ondrel {

class Joysticks;

// Keys, hardware buttons (joystick buttons 0-23 from game controllers and
// joysticks) and the stylus (the left mouse button over the game view).
//
// Key state is kept in the old virtual-key codes. While the input is open or
// started, it watches the application's key events itself (an event filter on
// the application object); the view may also hand events in through
// KeyEvent. The mouse counts as the stylus over the view given to AttachView.
// Everything works with no controller and without SDL.
//
// The queries are virtual so that tests of the layers above can stand in
// for the keyboard.
class Input {
public:
    static constexpr int KeyCount = 256;
    static constexpr int JoystickButtonCount = 24;
    static constexpr int HardwareKeyCount = 256;
    static constexpr int DefaultKeyCount = 21;

    Input();
    virtual ~Input();

    Input(Input const&) = delete;
    Input& operator=(Input const&) = delete;

    // Own key handling while no game runs (the button assignment dialog).
    virtual void Start();
    virtual void Stop();
    // Opened for a running game; opens the controllers. Opens nest, so a
    // dialog that opens and closes the input leaves a game's input open.
    virtual void Open();
    virtual void Close();
    bool IsOpen() const { return m_openCount > 0; }
    bool IsStarted() const { return m_started; }
    // While paused, events are not taken and every key reads as up. Keys and
    // buttons held when the input opens or resumes read as up until they
    // are released.
    virtual void Pause();
    virtual void Resume();
    bool IsPaused() const { return m_paused; }

    // Once per frame: reads the controllers.
    virtual void Update();

    // Key events in virtual-key codes; codes outside 0-255 are ignored.
    virtual void KeyEvent(int virtualKey, bool down);
    // 1 when down.
    virtual int IsKeyDown(int virtualKey) const;
    // The key's state right now, whatever the input's state: 0x8000 when down.
    virtual short GetAsyncKeyState(int virtualKey) const;
    // True while a key that was down when the input last opened or resumed
    // has not been released since (it does not count for the game).
    bool IsHeldOver(int virtualKey) const;

    // Hardware application buttons (any code 0-255).
    virtual void HardwareKeyEvent(int key, bool down);
    // 1 when the hardware key is down; keys 0-23 are also the joystick buttons.
    virtual int IsHardwareKeyDown(int key) const;
    // 1 when joystick button 0-23 is down (read at the last Update).
    virtual int IsJoystickButtonDown(int button) const;

    virtual void SetStylusDown(bool down);
    virtual void SetStylusPoint(Point point);
    virtual int IsStylusDown() const;
    virtual Point GetStylusPoint() const;

    // The 21 default key codes: Up, Down, Left, Right, Start (Enter), A (X),
    // B (Z), Select (Space), L (A), R (S), then eleven spare keys.
    std::uint16_t const* GetDefaultKeys() const;

    // The mouse over this widget is the stylus (points in its coordinates).
    void AttachView(QWidget* view);
    QWidget* GetView() const { return m_view.data(); }

    // True when SDL's controller support could be started.
    bool HasControllerSupport() const;

private:
    class Watcher;
    friend class Watcher;
    void EnsureWatching();
    bool Active() const;
    void OnQtKey(int virtualKey, bool down);
    void ReleaseAll();
    // Keys and buttons down now read as up until released.
    void IgnoreHeldUntilReleased();

    std::unique_ptr<Watcher> m_watcher;
    std::unique_ptr<Joysticks> m_joysticks;
    QPointer<QWidget> m_view;
    int m_openCount = 0;
    bool m_started = false;
    bool m_paused = false;
    bool m_keys[KeyCount] = {};
    bool m_liveKeys[KeyCount] = {};
    bool m_heldKeys[KeyCount] = {};
    bool m_hardwareKeys[HardwareKeyCount] = {};
    bool m_buttons[JoystickButtonCount] = {};
    bool m_heldButtons[JoystickButtonCount] = {};
    bool m_stylusDown = false;
    Point m_stylus;
};

} // namespace Ondrel
