#include "platform/ondrel/Window.h"

namespace Ondrel {

Window::Window(QWidget* widget) : m_widget(widget) {}

void Window::ShowInFront()
{
    if (!m_widget)
        return;
    QWidget* top = m_widget->window();
    top->show();
    top->raise();
    top->activateWindow();
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
