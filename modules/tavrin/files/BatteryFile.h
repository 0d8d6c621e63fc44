// The battery file: the cartridge's save memory (SRAM or flash, then the
// serial EEPROM) as a gzip stream, read when the machine starts and written
// when it shuts down. Layout after inflating: "SAV" 0x1A, version 1, the
// SRAM/flash exponent s (1 << s bytes, 0 = none), the EEPROM exponent e
// (8 << e bytes, 0 = none), nine zeros, then the two blocks.
#pragma once

#include <string>

namespace Tavrin {

// Fills SaveRam and EepromRam from the file, or with 0xFF (an erased chip)
// when there is none or it cannot be used; the file is read whole and judged
// before any of it is used. An EEPROM block of more than 512 bytes sets the
// 14-bit address width. Remembers what it put there. True when the
// file was loaded.
bool LoadBatteryFile(const char *name);

// Writes the file when save memory differs from what the load put there,
// trimmed after the last non-zero byte of each block (all zero: the header
// alone, so an erased save stays erased), through the consoles' shared
// battery file; unchanged memory leaves the file alone. False only when a
// needed write failed, which keeps the old file.
bool SaveBatteryFile(const char *name);

// What the user must hear about the battery file after a load or a save,
// once; empty when nothing.
std::string TakeBatteryNote();

} // namespace Tavrin
