// The battery file: the cartridge RAM pages from CpuSpace $6000, no header.
#pragma once

#include <string>

namespace Cindrel {

#pragma GCC visibility push(hidden)

// Loads as much of the file as there is (never more than the RAM size; a
// file of a 16-byte header and the RAM size from past its header) and
// reports on the console; true when the file is exactly the RAM size. Any
// other file is not a save of ours: it stays as it is until a save
// replaces it.
bool LoadBatteryFile(const std::string &name);
// Replaces the file with the RAM through a temporary file, only when the
// game changed the RAM since the load (or the last save); a file that was
// not a save of ours is kept aside as "<name>.damaged" first (BatteryKeptAs
// says where), and when it cannot be, nothing is written. On failure the
// old file stays as it was. Reports on the console.
bool SaveBatteryFile(const std::string &name);
// Where the last save kept a file it replaced; cleared at each start.
extern std::string BatteryKeptAs;

#pragma GCC visibility pop

} // namespace Cindrel
