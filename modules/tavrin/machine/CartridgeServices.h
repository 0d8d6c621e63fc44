// What the machine calls in the cartridge code (header summary, hardware
// guess, save devices, battery file). The devices keep their own records;
// one machine per process, so no record is passed.
#pragma once

#include <cstdint>

namespace Tavrin {

// Prints the header summary lines while LogFlags is non-zero.
void PrintHeaderSummary(const uint8_t *header);
// (0xE7 - sum of bytes 0xA0..0xBC) & 0xFF.
uint8_t GbaHeaderComplement(const uint8_t *header);
// Game code = byte 0xAC << 24 | 0xAD << 16 | 0xAE << 8 | 0xAF. May change
// FlashChipId, FlashSizeExp and EepromSizeExp; 1 on a match.
int GuessHardware(uint32_t gameCode);

// Device resets; trace is the device trace switch (LogFlags & 0x40).
void FlashReset(uint32_t chipId, uint8_t *saveRam, uint32_t sizeExp, uint8_t trace);
// Before the save memory is written out or freed: the bytes the chip ID
// covers go back into the array, and the flash keeps no pointer into it.
void FlashDetach();
void EepromReset(uint8_t *data, uint32_t addressBits, uint8_t *echoBuffer, uint8_t trace);
void RtcReset(uint8_t *rom, uint8_t trace);
// Keeps ROM bytes 0xC4-0xCB of the image just read (rom points at 0xC4):
// the clock port writes over them while it is enabled.
void RtcKeepPortBytes(const uint8_t *rom);
// A DMA is about to move units halfwords through the EEPROM port; the
// EEPROM learns the length of the request from it.
void EepromNoteDmaUnits(uint32_t units);

// Whether the file was read or written.
bool LoadBatteryFile(const char *name);
bool SaveBatteryFile(const char *name);

} // namespace Tavrin
