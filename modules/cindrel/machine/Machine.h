// The 6502 console's machine: the module-wide records every part of the
// machine shares, and its entry points. One machine per process; every
// MachineStart sets the records afresh for its cartridge and
// MachineShutdown releases and nulls what the start allocated.
#pragma once

#include "modules/cindrel/cpu/Cpu6502.h"
#include "modules/cindrel/cpu/CpuBus.h"
#include "modules/cindrel/machine/ModuleParts.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace Cindrel {

#pragma GCC visibility push(hidden)

// What the cartridge header says, kept for the rest of the module.
struct CartridgeFacts {
    int mapper = 0;
    int submapper = 0; // 0 unless an NES 2.0 header names one
    bool nes2 = false; // the header is in the NES 2.0 form
    int mirroring = 0;
    bool battery = false; // battery-backed work RAM, saved in the battery file
    bool trainer = false;
    bool vsSystem = false;
    int romPages = 0;        // 16 KB each, as loaded
    int vromPages = 0;       // 8 KB each, as loaded
    int ramPages = 1;        // work RAM at $6000, 8 KB each, 0-4 (0: the board has none)
    int patternRamPages = 0; // 8 KB each, without pattern ROM: 1 or more
    bool pal = false;
};
extern CartridgeFacts Cartridge;

// The CPU record the machine runs.
extern Cpu6502State Cpu;

// 64 KB image of the CPU's address space: work RAM and its mirrors, the I/O
// register copies, cartridge RAM from $6000 (up to four pages).
extern uint8_t *CpuSpace;
// 16 KB image of the picture processor's space: pattern RAM, four name
// tables, palette RAM at $3F00.
extern uint8_t *VideoSpace;
// Program and pattern ROM, each rounded up to a power of two (program ROM
// to at least 32 KB) and filled with mirror copies, so every bank formula
// stays inside. VromBuffer is null without pattern ROM.
extern uint8_t *RomBuffer;
extern size_t RomBufferSize;
extern uint8_t *VromBuffer;
extern size_t VromBufferSize;
// Pattern RAM beyond VideoSpace's 8 KB: a board that carries more has all
// of it here, rounded up to a power of two; null otherwise.
extern uint8_t *PatternRamBuffer;
extern size_t PatternRamBufferSize;

inline constexpr size_t CpuSpaceSize = 0x10000;
inline constexpr size_t VideoSpaceSize = 0x4000;

// One pointer per 1 KB of the picture processor's $0000-$3FFF: 0-7 pattern
// tables, 8-11 name tables, 12-15 repeat 8-11.
extern uint8_t *VideoPageMap[16];
// The pattern pages $2007 reads and writes through: the page map's own,
// unless the board gives the CPU a set of its own.
extern uint8_t *const *CpuPatternPages;
// Told each pattern address $2007 fetches, after the fetch, on boards that
// watch the pattern lines; null on the others.
extern void (*PatternFetchWatch)(uint32_t address);
extern uint8_t SpriteRam[256];
// $2000 control, $2001 mask, $2002 status (bits 5-7), 3 sprite-RAM
// address, 6 the high byte latched by the first $2006 write, 7 the I/O
// latch: what the registers last drove onto the picture processor's data
// bus (every write, and the bits a read drives), which the write-only
// registers and the undriven bits of $2002 and palette reads read back.
extern uint8_t PpuRegisters[8];
inline constexpr int IoLatch = 7;
// Frames since each latch bit was last driven: a bit left alone for about
// 600 ms decays to 0.
extern uint8_t IoLatchAge[8];
// Once a frame: ages the latch's bits and lets the old ones decay.
void DecayIoLatch();
extern uint32_t ScrollX;
extern uint32_t ScrollY;
// Shared by $2005 and $2006: 0 idle, 1 after a first $2006 write, 2 after a
// first $2005 write.
extern uint8_t WriteToggle;
extern uint16_t VramAddress;
extern uint8_t ReadBuffer;
extern int MirroringMode;

// The sprite and background pattern halves: entries 0-3 or 4-7 of the map.
extern uint8_t **SpriteHalf;
extern uint8_t **BackgroundHalf;
// Where the renderers find the background and sprite palettes.
extern uint8_t *PpuBgPalette;
extern uint8_t *PpuSpritePalette;

// One pixel-pair word per sprite for the prepared line; lastSprite is -1
// when no sprite draws on it.
struct SpriteLine {
    uint16_t words[64];
    int lastSprite;
};
extern SpriteLine SpriteLineTable;

// The 64 colours as red, green, blue.
extern uint8_t Palette[64][3];
// Under colour emphasis an emphasised component keeps its level; the
// others are dimmed to EmphasisDim / 4.
inline constexpr int EmphasisDim = 3;

// Pads: bit 0 A, 1 B, 2 Select, 3 Start, 4 Up, 5 Down, 6 Left, 7 Right.
extern uint8_t PadState[2];
extern uint8_t PadMask[2];
extern uint8_t PadStrobe;

// Frame loop.
extern int HPeriod;
extern int VPeriod;
extern int LineStep;
extern uint8_t CurrentLine;
extern uint8_t SpriteZeroLine;
extern int FrameSkip;        // frames per shown frame, from the settings
extern int FrameSkipCounter; // 0 while the frame is drawn
// CPU cycles since the last mapper line call (since start on boards
// without one): 64 bits, so hours of play never overflow it.
extern int64_t CycleTotal;
extern bool QuitFlag;

// Disk system (mapper 20) and the pattern latches of mappers 9 and 10.
extern uint8_t DiskControl;
extern uint32_t DiskPosition;
extern uint8_t DiskSide;
inline constexpr uint32_t DiskLength = 65500;
extern uint8_t Latch9State;
extern uint8_t Latch10LowState;
extern uint8_t Latch10HighState;
extern uint8_t *Latch9Pages[2];
extern uint8_t *Latch10LowPages[2];
extern uint8_t *Latch10HighPages[2];
extern uint8_t *Mmc5BgPages[4];
extern uint8_t *Mmc5ExAttributes;
extern uint8_t *Mmc5ChrBase;
extern uint32_t Mmc5ChrMask;

// The mapper's registers and counters (24 bytes, laid out per mapper) and
// the second sound unit of mapper 5; saved whole in state files.
struct MapperStateRecord {
    uint8_t bytes[24];
    SoundUnitState sound;
};
extern MapperStateRecord MapperState;
inline constexpr int MapperStateSize = 24 + SoundUnitImageSize;

// Installed by SetupMapper; null means none.
using MapperWriteFn = int (*)(uint16_t address, uint8_t value);
using MapperLineFn = int32_t (*)(int32_t cycles);
// The byte a mapper answers a read of $4000-$5FFF (the pads aside) with,
// or -1 for none.
using MapperReadFn = int (*)(uint16_t address);
extern MapperWriteFn MapperWrite;
extern MapperLineFn MapperLine;
// MapperLine comes as each line's drawing ends (that of the line before the
// first too) instead of as it begins: boards that count the lines by the
// pattern fetches for sprites, which follow the visible part.
extern bool MapperLineAfterDrawing;
extern MapperReadFn MapperRead;
extern LineRendererFn LineRenderer;

// The picture processor's registers and video pages.
uint8_t ReadPpuRegister(int reg);
void WritePpuRegister(int reg, uint8_t value);
void SetMirroring(int mode);
// A mapper's own page for name-table slot 0-3 (and its mirror at $3000);
// a four-screen cartridge keeps its four tables whatever the mapper asks.
void SetNameTablePage(int slot, uint8_t *page);
void SelectPatternTables();
void MapVideoPages(int first, int last, uint8_t *pointer);
int PrepareSpriteLine(int line);
// Hands the 64 colours to the video under each emphasis setting.
void HandOnPalette();

// The CPU's IRQ line is held by any of these sources, each holding and
// releasing it on its own; the CPU sees an IRQ request while any holds it.
enum : uint8_t {
    IrqFromSound = 1,  // the sound unit's frame or delta flag
    IrqFromMapper = 2, // the mapper's counter
    IrqFromDrive = 4,  // the disk adapter's drive
};
inline constexpr uint8_t IrqFromBoard = IrqFromMapper | IrqFromDrive;
extern uint8_t IrqSources;
void HoldIrq(uint8_t source);
void ReleaseIrq(uint8_t source);

// Reset of the emulated hardware, then the CPU.
void MachineReset();

// The machine's clock: CPU cycles run, up to the end of the instruction
// under way.
int64_t MachineCycle();
// Whether the picture processor is fetching the picture now: rendering on,
// on a visible line or the line before the first.
bool PictureFetching();
// Runs the sound units (the second one a board carries too) up to the
// given CPU cycle, that of the access under way.
void RunSound(int64_t cycle);
// After the CPU's countdown was set from outside (reset, state load): the
// running slice lasts to the next line step, and the sound units take the
// machine's clock from here.
void RestartSlice();

// Starts the cartridge at path; for a zip archive, zipMember is the member
// the engine chose (empty: the first ".nes" one). saveName is the battery
// file. Returns 1 on success, 0 on failure with the reason on the console.
int MachineStart(const std::string &path, const std::string &zipMember, const std::string &saveName);
// Saves the battery RAM of a started cartridge and frees the records.
// False when the battery file could not be written (the old one is then
// kept whole).
bool MachineShutdown();
// Whether the last MachineStart succeeded (the battery is saved only then).
extern bool CartridgeStarted;

// 16-bit sum of the bytes.
uint16_t RomChecksum(const uint8_t *bytes, size_t length);
// The checksum the state file carries for the running cartridge.
uint16_t CartridgeChecksum();

#pragma GCC visibility pop

} // namespace Cindrel
