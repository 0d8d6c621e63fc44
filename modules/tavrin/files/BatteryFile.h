// The battery file: the cartridge's save memory (SRAM or flash, then the
// serial EEPROM) as a gzip stream, read when the machine starts and written
// when it shuts down. Layout after inflating: "SAV" 0x1A, version 1, the
// SRAM/flash exponent s (1 << s bytes, 0 = none), the EEPROM exponent e
// (8 << e bytes, 0 = none), nine zeros, then the two blocks.
#pragma once

#include <string>

namespace Tavrin {

enum class BatteryLoad { Loaded, Missing, Damaged };

// How the last LoadBatteryFile went, and where SaveBatteryFile moved the
// damaged file it found before writing the game's save (empty: not moved),
// for the module's message.
struct BatteryLoadReport {
    BatteryLoad outcome = BatteryLoad::Missing;
    std::string keptAs;
};
extern BatteryLoadReport LastBatteryLoad;

// Fills SaveRam and EepromRam from the file, or with 0xFF (an erased chip)
// when there is none or it cannot be used; a file that cannot be read whole
// and valid is left where it is. An EEPROM block of more than 512 bytes sets
// the 14-bit address width. Remembers what it put there. Returns 1 when the
// file was loaded.
int LoadBatteryFile(const char *name);

// Writes the file when save memory differs from what the load put there,
// trimmed after the last non-zero byte of each block (all zero: the header
// alone, so an erased save stays erased); unchanged memory leaves the file
// alone. A damaged file the load found is first kept aside as
// "<name>.damaged" (LastBatteryLoad.keptAs); one that cannot be moved is
// not written over. Returns 1 unless a needed write failed, which keeps the
// old file.
int SaveBatteryFile(const char *name);

} // namespace Tavrin
