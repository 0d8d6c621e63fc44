#include "platform/ondrel/Joysticks.h"

#include <SDL.h>

#include <cstdio>

namespace Ondrel {

namespace {

constexpr int StickThreshold = 16384;
constexpr int TriggerThreshold = 16384;

// Controller buttons in our numbering, from 4 on.
constexpr SDL_GameControllerButton ControllerButtons[] = {
    SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_Y, SDL_CONTROLLER_BUTTON_LEFTSTICK, SDL_CONTROLLER_BUTTON_RIGHTSTICK,
    SDL_CONTROLLER_BUTTON_GUIDE,
};
constexpr int LeftTriggerButton = 15;
constexpr int RightTriggerButton = 16;
constexpr int FirstExtraButton = 17;  // misc and paddles, while they fit

} // namespace

Joysticks::~Joysticks()
{
    while (m_openCount > 0)
        Close();
}

bool Joysticks::Open()
{
    if (m_openCount++ > 0)
        return m_available;
    // Controllers are read while the window has no focus, too (the button
    // assignment dialog polls them).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // The program's own handlers end it on SIGTERM and SIGINT; SDL would
    // turn them into quit events no one reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr, "Controllers unavailable: %s\n", SDL_GetError());
        m_available = false;
        return false;
    }
    // The state is read directly; events nobody takes would only pile up.
    SDL_JoystickEventState(SDL_IGNORE);
    SDL_GameControllerEventState(SDL_IGNORE);
    m_available = true;
    m_deviceCount = -1;
    return true;
}

void Joysticks::Close()
{
    if (m_openCount == 0 || --m_openCount > 0)
        return;
    if (m_available) {
        CloseDevices();
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    }
    m_available = false;
}

void Joysticks::CloseDevices()
{
    for (int i = 0; i < MaxDevices; ++i) {
        if (m_controllers[i])
            SDL_GameControllerClose(static_cast<SDL_GameController*>(m_controllers[i]));
        else if (m_joysticks[i])
            SDL_JoystickClose(static_cast<SDL_Joystick*>(m_joysticks[i]));
        m_controllers[i] = nullptr;
        m_joysticks[i] = nullptr;
    }
    m_deviceCount = -1;
}

void Joysticks::Read(bool (&buttons)[ButtonCount])
{
    for (bool& b : buttons)
        b = false;
    if (!m_available)
        return;

    SDL_JoystickUpdate();
    int const count = SDL_NumJoysticks();
    if (count != m_deviceCount) {
        // A device came or went: open the current set again.
        CloseDevices();
        m_deviceCount = count;
        for (int i = 0; i < count && i < MaxDevices; ++i) {
            if (SDL_IsGameController(i)) {
                SDL_GameController* c = SDL_GameControllerOpen(i);
                m_controllers[i] = c;
                m_joysticks[i] = c ? SDL_GameControllerGetJoystick(c) : nullptr;
            } else {
                m_joysticks[i] = SDL_JoystickOpen(i);
            }
        }
    }

    for (int i = 0; i < MaxDevices; ++i) {
        if (auto* c = static_cast<SDL_GameController*>(m_controllers[i])) {
            int const x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
            int const y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
            buttons[0] |= SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP) || y < -StickThreshold;
            buttons[1] |= SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN) || y > StickThreshold;
            buttons[2] |= SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT) || x < -StickThreshold;
            buttons[3] |= SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) || x > StickThreshold;
            int n = 4;
            for (SDL_GameControllerButton b : ControllerButtons)
                buttons[n++] |= SDL_GameControllerGetButton(c, b) != 0;
            buttons[LeftTriggerButton] |= SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERLEFT) > TriggerThreshold;
            buttons[RightTriggerButton] |= SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_TRIGGERRIGHT) > TriggerThreshold;
            n = FirstExtraButton;
            for (int b = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1; b < SDL_CONTROLLER_BUTTON_MAX && n < ButtonCount; ++b)
                buttons[n++] |= SDL_GameControllerGetButton(c, SDL_GameControllerButton(b)) != 0;
        } else if (auto* j = static_cast<SDL_Joystick*>(m_joysticks[i])) {
            if (SDL_JoystickNumHats(j) > 0) {
                Uint8 const hat = SDL_JoystickGetHat(j, 0);
                buttons[0] |= (hat & SDL_HAT_UP) != 0;
                buttons[1] |= (hat & SDL_HAT_DOWN) != 0;
                buttons[2] |= (hat & SDL_HAT_LEFT) != 0;
                buttons[3] |= (hat & SDL_HAT_RIGHT) != 0;
            }
            if (SDL_JoystickNumAxes(j) >= 2) {
                int const x = SDL_JoystickGetAxis(j, 0), y = SDL_JoystickGetAxis(j, 1);
                buttons[0] |= y < -StickThreshold;
                buttons[1] |= y > StickThreshold;
                buttons[2] |= x < -StickThreshold;
                buttons[3] |= x > StickThreshold;
            }
            int const n = SDL_JoystickNumButtons(j);
            for (int b = 0; b < n && 4 + b < ButtonCount; ++b)
                buttons[4 + b] |= SDL_JoystickGetButton(j, b) != 0;
        }
    }
}

} // namespace Ondrel
