// The state file: a snapshot of the running machine for the save slots, as
// a gzip stream. After inflating: a 16-byte header ("STD" 0x1A, version 5,
// the cartridge's complement byte, the flash and EEPROM exponents, the
// cartridge's CRC-32 and a 1 that marks it), the CPU,
// flash, EEPROM and clock records, the machine word block, the six memory
// blocks, then the save memory.
#pragma once

#include <cstdint>
#include <vector>

namespace Tavrin {

// Returns 1 only when the whole file was written and renamed over the
// slot's file; on failure the old file stays.
int SaveStateFile(const char *name);

// Reads and checks the whole file before applying anything: a file of
// another cartridge or save memory, cut short or with a field the machine
// cannot hold is refused with one console line naming the reason, and the
// machine stays as it was. Returns 1 when the state was applied.
int LoadStateFile(const char *name);

// The same two steps in memory, on the inflated image; name is only for
// the console line.
std::vector<uint8_t> StateImage();
int LoadStateImage(const std::vector<uint8_t> &file, const char *name);

} // namespace Tavrin
