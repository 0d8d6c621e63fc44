// The Z80 consoles' machine: the records of one running game (one machine
// per process), its start, reset, frame and shutdown, and its state file.
//
// The module sets MachineWord, BatteryFileName and the frame-skip values,
// then calls MachineStart; everything else here is set afresh by
// MachineStart, so a plug-in that stays loaded starts each game clean.
#pragma once

#include "modules/belcrest/chips/Ppi.h"
#include "modules/belcrest/chips/SerialEeprom.h"
#include "modules/belcrest/cpu/Z80Cpu.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace Belcrest {

// Machine types: MachineWord AND MachineTypeMask.
inline constexpr uint32_t MachineTypeMask = 0x10003;
inline constexpr uint32_t MachineSg1000 = 0x00001;
inline constexpr uint32_t MachineMasterSystem = 0x00002;
inline constexpr uint32_t MachineGameGear = 0x00003;
inline constexpr uint32_t MachineSc3000 = 0x10000;
inline constexpr uint32_t MachineSf7000 = 0x10001;

// Other bits of MachineWord.
inline constexpr uint32_t MachineHasMapper = 0x2;       // cartridge mapper and VDP registers 8-15
inline constexpr uint32_t MachineCountryMask = 0x30;
inline constexpr uint32_t MachineCountryExport = 0x10;
inline constexpr uint32_t MachineCountryJapan = 0x20;
inline constexpr uint32_t MachineAutofire1 = 0x40;
inline constexpr uint32_t MachineAutofire2 = 0x80;
inline constexpr uint32_t MachineReadSetupStays = 0x100; // a VRAM read setup leaves the address alone
inline constexpr uint32_t MachineHasFm = 0x200;
inline constexpr uint32_t MachinePsgMode80 = 0x400;
inline constexpr uint32_t MachineHasEeprom = 0x800;
inline constexpr uint32_t MachineAltMapper = 0x1000;

// Host buttons as ReadPadState returns them (1 = pressed).
inline constexpr uint32_t PadUp = 0x1;
inline constexpr uint32_t PadDown = 0x2;
inline constexpr uint32_t PadLeft = 0x4;
inline constexpr uint32_t PadRight = 0x8;
inline constexpr uint32_t PadButton1 = 0x10;
inline constexpr uint32_t PadButton2 = 0x20;
inline constexpr uint32_t PadStart = 0x2000;
inline constexpr uint32_t PadPause = 0x10000;

inline constexpr unsigned RomPageSize = 0x4000;
inline constexpr unsigned MaxRomPages = 256;
inline constexpr unsigned CpuSpaceSize = 0x10000;

// Configuration, set by the module (or a test) before MachineStart.
extern uint32_t MachineWord;
extern uint8_t VerboseFlags;
extern int32_t FrameSkip;        // frames per shown frame (1 = every frame)
extern int32_t FrameSkipCounter; // frames still to skip before the next shown one
extern int32_t FramePeriod;       // CPU cycles per frame
extern int32_t LinePeriod;        // CPU cycles per line
extern std::string BatteryFileName; // empty: no battery file
extern std::string DiskFileName;    // the SF-7000's disk image

// Memory.
extern std::unique_ptr<uint8_t[]> CpuSpace; // 64 KB
extern std::array<std::unique_ptr<uint8_t[]>, MaxRomPages> RomPages;
extern unsigned RomPageCount;
extern uint8_t RomPageMask;
extern uint8_t RegionWritable[4];
extern uint8_t MapperRegisters[4];
extern uint8_t CartRamPagesUsed;
extern uint8_t BatteryPagesLoaded; // cartridge-RAM pages the battery file gave at start
extern uint16_t KeyboardRows[8];   // row 7 is the joypad word

// Frame loop.
extern uint8_t CurrentLine;
extern uint8_t LineSubStep;
extern uint8_t FirstVisibleLine;
extern uint8_t LastVisibleLine;
extern uint8_t LineCounter;
extern uint8_t AutofireCounter;
extern int QuitFlag; // set once the machine is shut down: the frame run then ends

// Chips and the CPU.
extern Z80State MachineCpu;
extern Ppi MachinePpi[2];
extern SerialEeprom MachineEeprom;
extern uint8_t Port1Latch;
extern uint8_t FmDetectLatch;

// The CRC-32 of the cartridge image as loaded (after any copier's header),
// recorded in state files so that another game's state is refused.
extern uint32_t CartridgeCrc;

// What the user must hear about the battery file after MachineStart or
// MachineShutdown (a file that cannot be used, a save not written, a file
// moved aside), once; empty when nothing.
std::string TakeBatteryNote();

inline uint32_t MachineType() { return MachineWord & MachineTypeMask; }
inline bool IsGameGear() { return MachineType() == MachineGameGear; }

// Builds the machine for one game: loads the image at path (for a zip
// archive the member zipMember, or when that is empty the first member whose
// name ends in ".sms" or ".gg"), the battery RAM and the SF-7000's disk, sets
// the TMS palette and resets. False with the reason on the console when the
// image cannot be used.
bool MachineStart(const std::string &path, const std::string &zipMember = std::string());
// Resets every piece of emulated hardware.
void MachineReset();
// Writes the battery file when the game changed the cartridge RAM, and
// frees the machine's memory. False when the battery file could not be
// written (the old one is then kept whole).
bool MachineShutdown();
// Runs one emulated frame: true when it ended, false when the machine asked
// to quit.
bool MachineRunFrame();

// State files. Each returns true on success; on failure false with the
// reason in *reason (when given) and on the console, and the running game
// unchanged.
bool SaveStateFile(const std::string &name, std::string *reason = nullptr);
bool LoadStateFile(const std::string &name, std::string *reason = nullptr);

inline constexpr size_t StateFileSize = 66728;

} // namespace Belcrest
