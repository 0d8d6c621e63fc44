// What the machine's files share among themselves (not for the module).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Belcrest {

struct Z80State;

// Memory map.
uint8_t *RomPageOrRam(unsigned page); // masked; an empty slot gives CpuSpace
void RebuildMemoryMap();              // from MapperRegisters and RegionWritable
void MapRegion(unsigned region, uint8_t *base);

// The image's pages from a whole file (or zip member) in memory, a short
// last page padded; false for an empty image, with message set to the
// loader's message.
bool LoadRomPages(const std::vector<uint8_t> &image, const char *&message);

// Battery RAM: read at start, written at shutdown when it changed (false
// when the write failed).
void LoadBatteryFile();
bool SaveBatteryFile();

// SF-7000: the disk image and the system ROM's trap patches.
extern std::vector<uint8_t> DiskImage;
void LoadDiskImage();
void PatchSystemRom();

// The chip's line and column counters (ports $7E and $7F) at the CPU's
// position within the frame.
uint8_t VCounter(const Z80State &cpu);
uint8_t HCounter(const Z80State &cpu);

// The joypad word from the host buttons (once a frame).
uint16_t JoypadWord(uint32_t buttons, uint16_t old);

// Serial output through PPI 1 port C bit 5.
extern uint8_t SerialBitCount;
void SerialControlWrite(uint8_t value);
void SerialClose();

// The Pause button as last read, for one NMI per press.
extern uint8_t PauseHeld;

// Prints only when any VerboseFlags bit is set.
void Progress(const char *text);

} // namespace Belcrest
