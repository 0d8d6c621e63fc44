// The 6502 module's input: the NES pad's eight buttons on keys, joystick
// buttons and the pad skin, read by the machine once per frame
// (ReadPadState).
#pragma once

#include "modules/common/ConsoleInput.h"

#include <span>

namespace Cindrel {

class CindrelInput : public ConsoleGlue::ConsoleInput {
public:
    // Becomes the input the machine reads.
    explicit CindrelInput(ZorvanEngine::Module *owner);
};

// The buttons in registration order: Up, Down, Left, Right, A, B, Select,
// Start; bits of the pad byte (A $01 ... Right $80).
std::span<ConsoleGlue::ConsoleButton const> CindrelButtons();

} // namespace Cindrel
