#include "platform/ondrel/System.h"

#include "platform/ondrel/Display.h"
#include "platform/ondrel/Input.h"
#include "platform/ondrel/Window.h"

namespace Ondrel {

namespace {
System* currentSystem = nullptr;
}

System::System(QWidget* frame) : m_frame(frame), m_input(std::make_unique<Input>())
{
    currentSystem = this;
}

System::~System()
{
    if (currentSystem == this)
        currentSystem = nullptr;
}

System* System::Instance()
{
    return currentSystem;
}

Window* System::CreateWindow(QWidget* widget)
{
    if (widget)
        m_input->AttachView(widget);
    return new Window(widget);
}

Display* System::CreateDisplay(Window* window)
{
    return new Display(window);
}

void System::SetFullScreen(int mode)
{
    m_fullScreen = mode == FullScreenEnter;
    if (!m_frame)
        return;
    QWidget* top = m_frame->window();
    if (m_fullScreen)
        top->showFullScreen();
    else if (top->isFullScreen())
        top->showNormal();
}

} // namespace Ondrel
