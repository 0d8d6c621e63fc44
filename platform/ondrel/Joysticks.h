#pragma once

namespace Ondrel {

// The game controllers and joysticks seen through SDL, folded into buttons
// 0-23: 0-3 up, down, left, right (pad, first hat or left stick), then
// A, B, Start, Back/Select, L, R, X, Y, the stick buttons, Guide, the two
// triggers and the remaining controller buttons. Joysticks that SDL does not
// know as controllers give their own buttons from 4 on. Only SDL's joystick
// and controller parts are started; when they cannot be, every button reads
// as up.
class Joysticks {
public:
    static constexpr int ButtonCount = 24;

    Joysticks() = default;
    ~Joysticks();

    Joysticks(Joysticks const&) = delete;
    Joysticks& operator=(Joysticks const&) = delete;

    // Reference counted: every Open needs a Close.
    bool Open();
    void Close();
    bool IsAvailable() const { return m_available; }

    // Reads every attached device into `buttons`, opening new ones.
    void Read(bool (&buttons)[ButtonCount]);

private:
    void CloseDevices();

    int m_openCount = 0;
    bool m_available = false;
    int m_deviceCount = -1;
    static constexpr int MaxDevices = 8;
    void* m_controllers[MaxDevices] = {};
    void* m_joysticks[MaxDevices] = {};
};

} // namespace Ondrel
