// The devices behind the bus. The machine's device code defines these; the
// bus routes stores, I/O loads and the EEPROM's 16-bit reads to them. One
// machine per process, so they take no record argument.
#pragma once

#include <cstdint>

namespace Tavrin {

// A 16-bit store into the I/O registers; address has bits 31-28 cleared.
void WriteIo(uint32_t address, uint32_t value);
// The halfword a load from the I/O region sees at address (bits 31-28
// cleared, bit 0 ignored), and the word (bits 1-0 ignored).
uint32_t ReadIo16(uint32_t address);
uint32_t ReadIo32(uint32_t address);
// The serial EEPROM's output bit, and one bit written to it.
uint32_t EepromReadBit();
void EepromWriteBit(uint32_t value);
// A 16-bit store to the cartridge's clock port (0x080000C0-0x080000CF).
void RtcWrite(uint32_t address, uint32_t value);
// An 8-bit store into the save-memory region; returns the 64 KB bank that
// must now appear at 0x0E000000, or null when the mapping stays.
uint8_t *FlashWrite(uint32_t address, uint32_t byte);

} // namespace Tavrin
