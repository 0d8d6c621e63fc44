// The battery file: the cartridge RAM pages from CpuSpace $6000, no header.
#pragma once

#include <string>

namespace Cindrel {

#pragma GCC visibility push(hidden)

// Loads as much of the file as there is (never more than the RAM size) and
// reports on the console; true when the whole RAM size was read.
bool LoadBatteryFile(const std::string &name);
// Replaces the file with the RAM through a temporary file; on failure the
// old file stays as it was. Reports on the console.
bool SaveBatteryFile(const std::string &name);

#pragma GCC visibility pop

} // namespace Cindrel
