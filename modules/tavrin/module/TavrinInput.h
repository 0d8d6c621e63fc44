// The handheld's ten buttons on the module's key settings and the pad skin.
#pragma once

#include "modules/common/ConsoleInput.h"

#include <span>

namespace Tavrin {

// In registration order, the four directions first; bits as in the
// console's key register (1 = held).
std::span<ConsoleGlue::ConsoleButton const> TavrinButtons();

class TavrinInput : public ConsoleGlue::ConsoleInput {
public:
    explicit TavrinInput(ZorvanEngine::Module *owner);
};

} // namespace Tavrin
