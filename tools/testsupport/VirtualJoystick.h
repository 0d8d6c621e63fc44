// An SDL virtual joystick for the tests: a hat and four buttons, which the
// platform input reads as joystick buttons 0-3 (the hat's directions) and
// 4-7.
#pragma once

#include <SDL.h>

namespace QuintarTest {

class VirtualJoystick {
public:
    VirtualJoystick()
    {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
            return;
        m_index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 0, 4, 1);
        if (m_index >= 0)
            m_joystick = SDL_JoystickOpen(m_index);
    }
    ~VirtualJoystick()
    {
        if (m_joystick)
            SDL_JoystickClose(m_joystick);
        if (m_index >= 0)
            SDL_JoystickDetachVirtual(m_index);
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    bool IsOpen() const { return m_joystick != nullptr; }

    void Set(int button, bool down)
    {
        static Uint8 const hats[] = {SDL_HAT_UP, SDL_HAT_DOWN, SDL_HAT_LEFT, SDL_HAT_RIGHT};
        if (button < 4)
            SDL_JoystickSetVirtualHat(m_joystick, 0, down ? hats[button] : SDL_HAT_CENTERED);
        else
            SDL_JoystickSetVirtualButton(m_joystick, button - 4, down ? 1 : 0);
    }

private:
    int m_index = -1;
    SDL_Joystick *m_joystick = nullptr;
};

} // namespace QuintarTest
