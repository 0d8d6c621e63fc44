// The Z80 module's input: the console's buttons on keys, joystick buttons
// and the pad skin, read by the machine once per frame (ReadPadState).
#pragma once

#include "modules/common/ConsoleInput.h"

#include <span>

namespace Belcrest {

class BelcrestInput : public ConsoleGlue::ConsoleInput {
public:
    // Becomes the input the machine reads.
    explicit BelcrestInput(ZorvanEngine::Module *owner);
};

// The buttons in the order they are registered: Up, Down, Left, Right, A,
// B, Select (pause), Start.
std::span<ConsoleGlue::ConsoleButton const> BelcrestButtons();

} // namespace Belcrest
