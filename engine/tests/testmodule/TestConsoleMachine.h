// The machine of the test console plug-in: plain functions over file-level
// state, as a console machine is, that log every call the module glue makes
// on them. The log can also be followed from outside the process: with
// QUINTAR_TEST_CONSOLE_LOG naming a file, every line is appended to it.
#pragma once

#include "modules/common/ConsoleInput.h"
#include "modules/common/ConsoleMachine.h"

#include <string>

namespace ZorvanEngine::Test {

class Video;

// One line of the log.
void Log(std::string const &line);

extern ConsoleGlue::ConsoleInput *padInput;
extern Video *video;
extern int skipCountdown;
extern int skipPeriod;

extern ConsoleGlue::ConsoleMachine const kMachine;

} // namespace ZorvanEngine::Test
