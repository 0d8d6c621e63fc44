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

    // Shows the widget's top-level window, raised and active; while it is
    // disabled under a dialog of its own, the dialog is raised and made
    // active instead.
    void ShowInFront();
    // Schedules a repaint of the widget that runs its own paintEvent, even
    // when a display's present is pending at the same time.
    void Refresh();
    // True once after Refresh (read by the display painting the widget).
    bool TakeRefreshRequest();
    // The widget's client area: (0, 0, width, height); empty once it is gone.
    Rect GetClientRect() const;

private:
    QPointer<QWidget> m_widget;
    bool m_refreshRequested = false;
};

} // namespace Ondrel
