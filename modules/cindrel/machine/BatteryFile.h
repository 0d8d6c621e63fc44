// The battery file: the cartridge RAM pages from CpuSpace $6000, no header.
#pragma once

#include <string>

namespace Cindrel {

#pragma GCC visibility push(hidden)

// Loads as much of the file as there is (never more than the RAM size; a
// file of a 16-byte header and the RAM size from past its header) and
// reports on the console; true when the file is exactly the RAM size. Any
// other file is kept aside as "<name>.damaged" (BatteryKeptAs says where),
// so the shutdown's write never replaces it.
bool LoadBatteryFile(const std::string &name);
// Where the last LoadBatteryFile kept a file it could not use whole; empty
// when it kept none.
extern std::string BatteryKeptAs;
// Replaces the file with the RAM through a temporary file; on failure the
// old file stays as it was. Reports on the console.
bool SaveBatteryFile(const std::string &name);

#pragma GCC visibility pop

} // namespace Cindrel
