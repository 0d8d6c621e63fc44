#pragma once
// "Input Mapping": the small modeless dialog with which a settings page binds
// an emulated button. It waits for a key or a joystick button (polled every
// 100 ms), records it and closes; Cancel and "Unbind" close it as well. Its
// owner is disabled meanwhile and is told afterwards (identifier 257, code 2),
// then reads m_key, m_joystickButton and m_result.

#include <QPointer>
#include <QWidget>

namespace Ondrel {
class Input;
}

class ButtonAssignDialog : public QWidget {
    Q_OBJECT
public:
    static constexpr int DialogId = 257;
    static constexpr int NoJoystickButton = 25;
    static constexpr int PollMilliseconds = 100;
    enum Result { Captured = 0, Cancelled = 1, Unbound = 2 };

    // input null: the engine's input object.
    explicit ButtonAssignDialog(Ondrel::Input* input = nullptr);
    ~ButtonAssignDialog() override;

    void Show(QWidget* owner);
    bool IsOpen() const { return m_open; }

    // Keys that are never captured.
    static bool IsReservedKey(int virtualKey);

    // The commands: Cancel (2) and "Unbind" (3).
    void OnCancel();
    void OnUnbind();
    // Reads the input once and closes when a key or a button is down.
    void Poll();

    int m_key = 0;                              // captured virtual key, 0 = none
    int m_joystickButton = NoJoystickButton;    // captured button 0-23
    int m_result = Captured;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Close();
    // Gives the input back (stopping it when no game runs) and re-enables
    // the owner.
    void Release();
    Ondrel::Input* Input() const;
    static bool GameRunning();

    Ondrel::Input* m_input;
    QPointer<QWidget> m_owner;
    int m_timer = 0;
    bool m_open = false;
};
