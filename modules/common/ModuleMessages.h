// What a console module tells the user, and the zip member the engine chose
// for the running file, for modules whose machine takes narrow text.
#pragma once

#include "common/zorvan/String.h"

#include <string>

namespace ConsoleGlue {

// One message through the engine; nothing without an engine or for an
// empty text (so news that may be empty can be passed on as it is).
void TellUser(Zorvan::String const &text);
void TellUser(std::string const &text);

// The member of the running zip archive the engine chose the module by, as
// UTF-8; empty for a plain file or without an engine.
std::string ChosenZipMember();

} // namespace ConsoleGlue
