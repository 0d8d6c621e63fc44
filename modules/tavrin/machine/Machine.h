// The handheld machine as a whole: start-up on one cartridge image, the
// power-on reset, shutdown, the option words that carry from one start to
// the next, and the blocks the machine owns. One machine per process.
#pragma once

#include "modules/tavrin/bus/MemoryMap.h"

#include <cstdint>
#include <string>

namespace Tavrin {

// Returns 1 when the machine is ready, 0 on failure (console lines say where).
// Plugs the machine into the core first.
int MachineStart(const char *path);
// Fills the core's table (cpu/ArmHooks.h) with the machine's line step, BIOS
// calls, I/O registers and cartridge devices. Tests that drive a device
// through the bus without starting the machine call it themselves.
void PlugMachineIntoCore();
void MachineReset();
// After a state was loaded: the words a state does not hold, worked out from
// those it does (timerLead: see LineHook.h).
void ResumeLoadedMachine(uint32_t timerLead);
// Writes the battery file when save memory changed and frees the machine;
// false when that write failed (the old file is kept).
bool MachineShutdown();

// Option words; they keep their values from one start to the next.
extern uint32_t HeaderCheckOn;   // 1: a wrong header complement fails the start
extern uint32_t HardwareGuessOn; // 1: the start guesses the save hardware
extern uint32_t FlashChipId;     // 16-bit flash chip ID
extern uint32_t FlashSizeExp;    // SaveRam holds 1 << FlashSizeExp bytes (16 or more)
extern uint32_t EepromSizeExp;   // the EEPROM's address bits (6..16; 6 or 14 in use)
extern uint32_t PcmBufferSize;   // bytes of each direct-sound ring buffer
extern std::string MidiLogName;
extern std::string BiosPath;
// The battery file's name; empty for none. The module sets it before a start.
extern std::string SaveFileName;

// Machine words that start-up and reset set.
extern uint32_t MachineStopped; // 1 once the module closed the machine
extern uint32_t BiosLoaded;     // bit 0: the 16 KB BIOS image was read whole
extern uint32_t HaltState;      // 0 running, 1 halted, 2 woken by an interrupt

// The blocks of the running machine (null when not started). cartSize is the
// image size rounded up to 16 KB.
extern ConsoleBlocks MachineBlocks;
extern uint8_t *SaveRam;   // 1 << FlashSizeExp bytes
extern uint8_t *EepromRam; // always 8 KB (cart/Eeprom.h: EepromArraySize)

// The CRC-32 of the cartridge image as read (inflated, before any padding),
// recorded in state files so that another game's state is refused.
extern uint32_t CartridgeCrc;

// Saved size of the two save memories, in bytes (0 when absent).
uint64_t SaveRamSize();
uint64_t EepromRamSize();

// What the BIOS area holds when no BIOS image was read: a jump to the
// cartridge and an interrupt vector that calls the handler stored at
// 0x03FFFFFC.
inline constexpr uint32_t BuiltInVectors[13] = {
    0xE3A0F302, 0, 0, 0, 0, 0, 0xE92D500F, 0xE3A00301, 0xE28FE000, 0xE510F004, 0xE8BD500F, 0xE25EF004, 0xE12FFF1E,
};

} // namespace Tavrin
