// The game view: the child of the main frame, below its tool bar, on which
// the emulated picture is shown. When no frame is being emulated it paints
// what the engine's display should show (background colour or image, the
// last frame, the paused picture, the virtual pad); it turns a few keys
// into commands, hands the mouse to the platform input as the stylus and
// switches full-screen mode. It is also the game loop's GameRunner.
//
// Everything the view draws goes into the display's drawing surface, which
// the display presents over the widget right after paintEvent; the widget's
// own painting only shows where that picture does not reach.
#pragma once

#include "common/zorvan/String.h"
#include "frontend/GameLoop.h"

#include <QString>
#include <QWidget>

#include <memory>

class MainFrame;
class QPainter;

namespace Ondrel {
class Input;
class Surface;
} // namespace Ondrel

class ChildView : public QWidget, public GameRunner {
    Q_OBJECT
public:
    // The paused picture's bitmap in the program's resources.
    static constexpr int kPausedImageId = 180;
    // In full screen with the pad shown, taps below this line belong to the pad.
    static constexpr int kPadTapLine = 160;

    // Created as a child of the frame (null: a window of its own, for tests).
    explicit ChildView(MainFrame *frame);
    ~ChildView() override;

    // GameRunner: wait while no engine, no running game, a nested pause or
    // the user's pause; otherwise one frame of the active module, a
    // processor fault in it being reported and the engine shut down.
    bool ShouldWait() override;
    void RunFrame() override;

    // Enters full screen (only while a game runs unpaused) or leaves it.
    // Nothing happens while "NoFullScreen" is on.
    void ToggleFullScreen();
    // Drops the cached background and paused images (the display's rotation
    // changed); they are made again at the next paint.
    void ReleaseImages();

    // Where the program's view bitmaps are ("<root>/180.png" the paused picture).
    static QString GetResourceRoot();

    // The platform input, known after the first paint that drew; null before.
    Ondrel::Input *GetInputObject() const { return m_input; }
    Ondrel::Surface *GetBackgroundImage() const { return m_background.get(); }
    Ondrel::Surface *GetPausedImage() const { return m_paused.get(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

    // What the view asks of its frame; a view without a frame does nothing.
    virtual void FrameCommand(int id);
    virtual void FrameCommandStates();
    virtual void ShowFrameToolBar(bool show);
    // True when this view's window or the engine's frame window is the
    // active window (only then is the picture drawn).
    virtual bool IsForeground() const;

private:
    void Draw(QPainter &painter);
    void DrawBackground(QPainter &painter, Ondrel::Surface *surface, int padSize);
    void DrawPausedImage(Ondrel::Surface *surface, int padSize);
    void FillBackgroundColor(QPainter &painter, Ondrel::Surface *surface);
    // Stylus point (and, for a press or release, its state) to the input.
    bool ForwardStylus(QMouseEvent *event, int pressed);
    void LeaveFullScreen();
    bool EnterFullScreen();

    MainFrame *m_frame;
    Zorvan::String m_backgroundName;
    std::unique_ptr<Ondrel::Surface> m_background;
    std::unique_ptr<Ondrel::Surface> m_paused;
    Ondrel::Input *m_input = nullptr;
};
