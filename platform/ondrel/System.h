#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ondrel {

class Display;
class Input;
class Window;

enum DisplayDriver : int {
    DisplayDriverGdi = 0,
    DisplayDriverGapi = 1,
    DisplayDriverRawFrameBuffer = 2,  // with fallback
};

// Arguments of the full-screen switch.
enum FullScreenSwitch : int {
    FullScreenEnter = 0,
    FullScreenLeave = 1,
};

// The platform system object: makes windows and displays, owns the input.
// The most recently made one is reachable through Instance().
class System {
public:
    explicit System(QWidget* frame = nullptr);
    ~System();

    System(System const&) = delete;
    System& operator=(System const&) = delete;

    static System* Instance();

    // Every driver draws through the same software surfaces; the choice is
    // only recorded.
    void SetDisplayDriver(int driver) { m_driver = driver; }
    int GetDisplayDriver() const { return m_driver; }

    // New objects the caller deletes. The window's widget becomes the view
    // whose mouse is the stylus.
    Window* CreateWindow(QWidget* widget);
    Display* CreateDisplay(Window* window);

    Input* GetInput() const { return m_input.get(); }

    // FullScreenEnter shows the frame's window full screen, FullScreenLeave
    // returns it to normal.
    void SetFullScreen(int mode);
    bool IsFullScreen() const { return m_fullScreen; }

    QWidget* GetFrame() const { return m_frame.data(); }

private:
    QPointer<QWidget> m_frame;
    std::unique_ptr<Input> m_input;
    int m_driver = DisplayDriverRawFrameBuffer;
    bool m_fullScreen = false;
};

} // namespace Ondrel
