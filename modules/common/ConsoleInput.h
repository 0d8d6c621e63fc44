// The input of a console module: the console's buttons as a table, mapped
// onto the keys and joystick buttons of the module's settings ("vk" and
// "js" + the button's name) and onto the pad skin's controls. The machine
// reads the buttons once per frame through the published input:
//
//   ConsoleGlue::ConsoleInput *padInput;                 // the machine's pointer
//   constexpr ConsoleGlue::ConsoleButton kButtons[] = {{L"Up", 0x10, ZorvanEngine::kPadNorth}, ...};
//   class CindrelInput : public ConsoleGlue::ConsoleInput {
//   public:
//       explicit CindrelInput(ZorvanEngine::Module *owner) : ConsoleInput(owner, kButtons, padInput) {}
//   };
//   ... padInput->GetState() ...
#pragma once

#include "engine/BaseInput.h"

#include <cstdint>
#include <span>

namespace ConsoleGlue {

struct ConsoleButton {
    wchar_t const *name; // "Up": the settings "vkUp" (key) and "jsUp" (joystick button)
    uint32_t bit;        // the emulated button bit(s)
    uint32_t padMask;    // the pad-skin controls that press it (ZorvanEngine::PadControl)
};

class ConsoleInput : public ZorvanEngine::BaseInput {
public:
    // The buttons in registration order, the four directions first (the
    // base turns records 0 to 3 with the display). The table must outlive
    // the input. The input publishes itself in `published` and clears it
    // again when it goes, if it is still there.
    ConsoleInput(ZorvanEngine::Module *owner, std::span<ConsoleButton const> buttons, ConsoleInput *&published);
    ~ConsoleInput() override;

    // Registers every button anew from the owner's settings, then the
    // base's UpdateSettings.
    void UpdateSettings() override;

    std::span<ConsoleButton const> GetButtons() const { return m_buttons; }

private:
    std::span<ConsoleButton const> m_buttons;
    ConsoleInput *&m_published;
};

} // namespace ConsoleGlue
