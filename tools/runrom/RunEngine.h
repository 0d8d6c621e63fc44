// The engine as runrom sets it up: its modules, and the settings every run
// uses whatever the home holds.
#pragma once

#include <QString>

namespace ZorvanEngine {
class Engine;
}

namespace RunRom {

// The plug-ins the program finds, or only the named one (file empty: found).
// False, with the reason on standard error, when there is none.
bool LoadRunModules(ZorvanEngine::Engine &engine, QString const &file);

// Every module runs with "FrameSync" off, "FrameSkip" 0, "ScreenSize"
// "100%" and "Sound" as asked, the engine's "Sound" as asked. They are
// written into the home's key store, where opening a module reads them.
void PrepareSettings(ZorvanEngine::Engine &engine, bool sound);

} // namespace RunRom
