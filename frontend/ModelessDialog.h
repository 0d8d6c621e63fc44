// A modeless window of the front end that covers its owner while it is open:
// the owner takes no input until the window closes, and is then told (the
// window's identifier, code 2) once the window is gone. The window's close
// button and Escape close it, as the old Done button did.
#pragma once

#include <QPointer>
#include <QWidget>

class ModelessDialog : public QWidget {
    Q_OBJECT
public:
    ~ModelessDialog() override;

    bool IsOpen() const { return m_open; }
    // Done: hides the window, re-enables the owner and notifies it.
    void OnClose();

protected:
    explicit ModelessDialog(int dialogId);

    // Shows the window over owner (null: the engine's frame window) and
    // disables the owner; false when it is open already.
    bool OpenOver(QWidget *owner);
    // Called while closing, after the window is hidden and before the owner
    // is told.
    virtual void OnClosing() {}

    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_dialogId;
    QPointer<QWidget> m_owner;
    bool m_open = false;
};
