#pragma once

#include "platform/ondrel/Geometry.h"

#include <QPointer>
#include <QWidget>

namespace Ondrel {

// The platform window object over a widget (the game view).
class Window {
public:
    explicit Window(QWidget* widget);

    QWidget* GetWidget() const { return m_widget.data(); }

    // Shows the widget's top-level window, raised and active.
    void ShowInFront();
    // Schedules a repaint of the widget.
    void Refresh();
    // The widget's client area: (0, 0, width, height); empty once it is gone.
    Rect GetClientRect() const;

private:
    QPointer<QWidget> m_widget;
};

} // namespace Ondrel
