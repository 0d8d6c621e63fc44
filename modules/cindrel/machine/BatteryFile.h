// The battery file: the cartridge RAM pages from CpuSpace $6000, no header.
#pragma once

#include <string>

namespace Cindrel {

#pragma GCC visibility push(hidden)

// Loads a file of exactly the RAM size (or, as other programs write it, a
// 16-byte header and the RAM size, read from past its header) and reports on
// the console; true when it loaded. Any other file is not a save of this
// game: the RAM stays clear (TakeBatteryNote says why).
bool LoadBatteryFile(const std::string &name);
// Writes the RAM when the game changed it since the load (or the last
// save), through the consoles' shared battery file. False when a save was
// needed and not written; the file there is then as it was.
bool SaveBatteryFile(const std::string &name);
// What the user must hear about the battery file after a load or a save,
// once; empty when nothing.
std::string TakeBatteryNote();

#pragma GCC visibility pop

} // namespace Cindrel
