#pragma once

#include "platform/ondrel/Geometry.h"
#include "platform/ondrel/PixelFormat.h"
#include "platform/ondrel/Surface.h"

#include <QImage>
#include <QString>

#include <memory>

namespace Ondrel {

class Window;

enum Rotation : int {
    RotationNorth = 0,
    RotationEast = 1,   // the picture's top faces the right edge of the widget
    RotationSouth = 2,
    RotationWest = 3,
    RotationNone = 4,   // shown as north
};

// The screen of the game view: a primary surface (and, when asked for, a
// back surface) in memory, shown in the window's widget. Presenting turns
// the picture by the rotation; east and west surfaces are as wide as the
// widget is high.
//
// The display paints over its widget through an event filter: a paint it
// asked for itself (Refresh) shows only the picture; any other paint first
// runs the widget's own paintEvent, then draws the picture on top. A
// Refresh made inside that paintEvent is drawn right after it. A view that
// needs its own paintEvent to run while frames are being presented asks
// through Window::Refresh rather than QWidget::update.
class Display {
public:
    explicit Display(Window* window);
    ~Display();

    Display(Display const&) = delete;
    Display& operator=(Display const&) = delete;

    // Creates the surfaces. A width or height of 0 takes the widget's size
    // (240 x 320 when it has none); PixelFormatNone gives RGB565. Opening an
    // open display with zeros or with its own size and format does nothing;
    // other values rebuild the surfaces. Only RGB565 and 32-bit displays
    // exist; false for anything else.
    bool Open(int width = 0, int height = 0, PixelFormat format = PixelFormatNone);
    void Close();
    bool IsOpen() const { return m_primary != nullptr; }

    // Takes effect at the next Open (surfaces of an open display keep their shape).
    int GetRotation() const { return m_rotation; }
    void SetRotation(int rotation);

    void UseBackSurface(bool use);
    bool IsUsingBackSurface() const { return m_useBack; }
    Surface* GetPrimarySurface() const { return m_primary.get(); }
    // The back surface when one is used, else the primary surface.
    Surface* GetBackSurface() const;
    PixelFormat GetPixelFormat() const { return m_format; }

    // A new surface the caller deletes; PixelFormatNone takes the display's
    // format. Null on failure.
    Surface* CreateSurface(int width, int height, PixelFormat format, SurfaceFlags flags = SurfaceFlagsNone);

    // While suspended, Refresh does not present (the widget keeps showing
    // the last presented picture).
    void Suspend() { m_suspended = true; }
    void Resume() { m_suspended = false; }
    bool IsSuspended() const { return m_suspended; }

    // A module's video closed: the screen is cleared to black.
    void CloseVideo();

    // Presents the back surface (copied to the primary first when one is
    // used) in the widget. The rectangle is a hint; an empty one means all.
    void Refresh(Rect const& rect = Rect());

    // A bitmap in the display's format (8-bit files are converted), or null
    // when the file cannot be read. A resource is found as
    // "<root>/<id>.bmp" or "<root>/<id>.png" (root such as ":/ZorvanEngine").
    Surface* LoadBitmapFile(QString const& fileName);
    Surface* LoadBitmapResource(QString const& resourceRoot, int id);

    // The picture last presented, already turned (what the widget shows).
    QImage const& GetPresentedImage() const { return m_presented; }
    Window* GetWindow() const { return m_window; }

private:
    class Painter;
    friend class Painter;
    Surface* SurfaceFromImage(QImage const& image);
    void Present();

    Window* m_window;
    std::unique_ptr<Painter> m_painter;
    std::unique_ptr<Surface> m_primary;
    std::unique_ptr<Surface> m_back;
    PixelFormat m_format = PixelFormatRGB565;
    int m_rotation = RotationNorth;
    bool m_useBack = false;
    bool m_suspended = false;
    QImage m_presented;
    QImage m_turned;
};

} // namespace Ondrel
