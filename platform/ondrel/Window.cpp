#include "platform/ondrel/Window.h"

#include <QApplication>
#include <QWindow>

namespace Ondrel {

namespace {

// The visible window shown as a dialog of `owner`, if any (the last made).
QWidget* DialogOf(QWidget* owner)
{
    QWindow* handle = owner->windowHandle();
    if (!handle)
        return nullptr;
    QWidget* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget != owner && widget->isVisible() && widget->windowHandle()
            && widget->windowHandle()->transientParent() == handle)
            found = widget;
    }
    return found;
}

} // namespace

Window::Window(QWidget* widget) : m_widget(widget) {}

void Window::ShowInFront()
{
    if (!m_widget)
        return;
    QWidget* top = m_widget->window();
    top->show();
    // A window disabled under a dialog of its own leaves the front to that
    // dialog (and to the dialog's own dialog, and so on).
    QWidget* front = top;
    while (!front->isEnabled()) {
        QWidget* dialog = DialogOf(front);
        if (!dialog)
            break;
        front = dialog;
    }
    front->raise();
    front->activateWindow();
}

void Window::Refresh()
{
    if (!m_widget)
        return;
    m_refreshRequested = true;
    m_widget->update();
}

bool Window::TakeRefreshRequest()
{
    bool const requested = m_refreshRequested;
    m_refreshRequested = false;
    return requested;
}

Rect Window::GetClientRect() const
{
    if (!m_widget)
        return Rect{};
    return Rect{0, 0, m_widget->width(), m_widget->height()};
}

} // namespace Ondrel
