// Start-up and shutdown: every block through the tracked allocator, the
// BIOS and cartridge images, the header and guess, the battery file.
#include "modules/tavrin/machine/Machine.h"

#include "common/zorvan/Console.h"
#include "modules/sounddriver/SoundDriver.h"
#include "modules/tavrin/bios/BiosCall.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/cart/Flash.h"
#include "modules/tavrin/cart/Rtc.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "modules/tavrin/machine/CartridgeImage.h"
#include "modules/tavrin/machine/CartridgeServices.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/TrackedAlloc.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include <zlib.h>

namespace Tavrin {

uint32_t HeaderCheckOn = 1;
uint32_t HardwareGuessOn = 1;
uint32_t FlashChipId = 0xD4BF;
uint32_t FlashSizeExp = 17;
uint32_t EepromSizeExp = 6;
uint32_t PcmBufferSize = 4096;
std::string MidiLogName = "LOG.MID";
std::string BiosPath = "GBA.ROM";
std::string SaveFileName;

uint32_t MachineStopped = 0;
uint32_t BiosLoaded = 0;
uint32_t HaltState = 0;
ConsoleBlocks MachineBlocks;
uint8_t *SaveRam = nullptr;
uint8_t *EepromRam = nullptr;
uint32_t CartridgeCrc = 0;

uint64_t SaveRamSize() { return SaveRam && FlashSizeExp < 32 ? uint64_t(1) << FlashSizeExp : 0; }
uint64_t EepromRamSize() { return EepromRam ? EepromArraySize : 0; }

namespace {

// Where the page tables point while no machine runs.
alignas(16) uint8_t IdlePage[PageSize];

void Say(const char *text)
{
    if (LogFlags)
        printConsole("%s", text);
}

// One allocation step: its console line, the block, "OK" or "FAILED".
uint8_t *AllocStep(const char *line, uint64_t size)
{
    Say(line);
    uint8_t *block = size <= 0xFFFFFFFFu ? static_cast<uint8_t *>(TrackedAlloc(size_t(size))) : nullptr;
    Say(block ? "OK\n" : "FAILED\n");
    return block;
}

uint8_t *AllocKb(const char *fmt, uint64_t size)
{
    char line[128];
    std::snprintf(line, sizeof line, fmt, int((size + 1023) / 1024));
    return AllocStep(line, size);
}

void ReadBios(uint8_t *bios)
{
    std::FILE *in = std::fopen(BiosPath.c_str(), "rb");
    if (!in)
        return;
    Say("Loading GBA.ROM...");
    // Read into a side buffer: an image of the wrong size leaves nothing of
    // itself in the block.
    static uint8_t image[BiosSize + 1];
    size_t got = std::fread(image, 1, sizeof image, in);
    std::fclose(in);
    if (got == BiosSize) {
        std::memcpy(bios, image, BiosSize);
        BiosLoaded |= 1;
    }
    Say((BiosLoaded & 1) ? "OK\n" : "FAILED\n");
}

bool AllocSaveRam()
{
    SaveRam = FlashSizeExp < 32 ? AllocKb("Allocating %dkB Cartridge SRAM/FlashROM...", uint64_t(1) << FlashSizeExp)
                                : nullptr;
    return SaveRam != nullptr;
}

bool CartridgeHeaderStep(const uint8_t *rom)
{
    PrintHeaderSummary(rom);
    if (HeaderCheckOn && rom[0xBD] != GbaHeaderComplement(rom)) {
        Say("CMP CHECK FAILED!\n");
        return false;
    }
    if (HardwareGuessOn) {
        Say("Guessing hardware...");
        uint32_t code = uint32_t(rom[0xAC]) << 24 | rom[0xAD] << 16 | rom[0xAE] << 8 | rom[0xAF];
        if (GuessHardware(code)) {
            if (LogFlags)
                printConsole("FlashID=0x%04X...OK\n", FlashChipId & 0xFFFF);
        } else {
            Say("FAILED\n");
        }
    }
    return true;
}

} // namespace

namespace {

// Set once the start has read the battery file: only then does save memory
// hold the game's save, and only then may shutdown write it back.
bool BatteryInPlace = false;

// Frees every block and puts the tables back on the idle page; writes no
// file.
void ReleaseMachine()
{
    BatteryInPlace = false;
    FlashDetach();
    // Nothing may point into the blocks once they are gone: the mixer stops
    // playing the direct-sound rings before they are freed.
    SetTone(4, 0, 0);
    SetTone(5, 0, 0);
    PcmRate[0] = PcmRate[1] = 0;
    MachineBlocks = {};
    EepromRam = SaveRam = nullptr;
    PcmBuffer[0] = PcmBuffer[1] = nullptr;
    BgPalette = ObjPalette = nullptr;
    SaveFileName.clear();
    DummyPage = IdlePage;
    MapConsoleMemory(MachineBlocks);
    FreeAllTracked();
}

bool StartOn(const char *path)
{
    MachineStopped = 0;
    SaveRam = EepromRam = nullptr;
    BiosLoaded = 0;
    MachineBlocks = {};
    DummyPage = IdlePage;
    if (FlashSizeExp < 16)
        FlashSizeExp = 16;
    EepromSizeExp = EepromSizeExp < 6 ? 6 : EepromSizeExp > 16 ? 16 : EepromSizeExp;
    // Until a dummy page of the machine's own exists, the tables keep the
    // bus's built-in one.
    MapConsoleMemory(MachineBlocks);

    // The image is judged before anything is allocated.
    CartridgeBytes imageBytes;
    if (!ReadCartridgeBytes(path, imageBytes))
        return false;
    CartridgeCrc = uint32_t(crc32_z(0, imageBytes.data(), imageBytes.size()));

    uint8_t *dummy = AllocKb("Allocating %dkB Dummy RAM...", PageSize);
    if (!dummy)
        return false;
    DummyPage = dummy;
    for (int c = 0; c < 2; ++c) {
        PcmBuffer[c] = AllocKb(c ? "Allocating %dkB buffer for sound channel B..."
                                 : "Allocating %dkB buffer for sound channel A...",
                               PcmBufferSize);
        if (!PcmBuffer[c])
            return false;
    }
    ConsoleBlocks b;
    if (!(b.bios = AllocStep("Allocating 16kB BIOS ROM...", BiosSize)))
        return false;
    for (uint32_t i = 0; i < BiosSize; i += 4)
        std::memcpy(b.bios + i, &BiosOpenBusWord, 4);
    if (!(b.ewram = AllocKb("Allocating %dkB External Working RAM...", EwramSize)) ||
        !(b.iwram = AllocStep("Allocating 32kB Internal Working RAM...", IwramSize)) ||
        !(b.io = AllocKb("Allocating %dkB I/O...", IoSize)) ||
        !(b.palette = AllocKb("Allocating %dkB Palette RAM...", PaletteSize)) ||
        !(b.vram = AllocStep("Allocating 96kB VRAM...", VramSize)) ||
        !(b.oam = AllocKb("Allocating %dkB Sprite RAM...", OamSize)))
        return false;
    if (!AllocSaveRam())
        return false;
    b.saveRam = SaveRam;
    BgPalette = reinterpret_cast<uint16_t *>(b.palette);
    ObjPalette = reinterpret_cast<uint16_t *>(b.palette + 0x200);
    MachineBlocks = b;
    MapConsoleMemory(MachineBlocks);

    ReadBios(b.bios);
    if (!(BiosLoaded & 1))
        std::memcpy(b.bios, BuiltInVectors, sizeof BuiltInVectors);

    CartridgeImage image;
    if (!PlaceCartridgeImage(imageBytes, image))
        return false;
    MachineBlocks.cart = image.data;
    MachineBlocks.cartSize = image.roundedSize;
    MapConsoleMemory(MachineBlocks);
    // The clock port writes over these bytes while it is enabled.
    RtcKeepPortBytes(image.data + 0xC4);

    const uint32_t flashSizeExp = FlashSizeExp;
    if (!CartridgeHeaderStep(image.data))
        return false;
    // A guess that changes the save memory's size gets a block of that size.
    if (FlashSizeExp < 16)
        FlashSizeExp = 16;
    if (FlashSizeExp != flashSizeExp) {
        if (!AllocSaveRam())
            return false;
        MachineBlocks.saveRam = SaveRam;
        MapConsoleMemory(MachineBlocks);
    }

    // Always the larger chip's 8 KB: a game can still turn out to use 14
    // address bits after the guess, and the bytes must stay.
    EepromRam = AllocKb("Allocating %dkB Cartridge Serial EEPROM...", EepromArraySize);
    if (!EepromRam)
        return false;

    if (LogFlags)
        printConsole("Loading %s...", SaveFileName.c_str());
    Say(LoadBatteryFile(SaveFileName.c_str()) ? "OK\n" : "FAILED\n");
    BatteryInPlace = true;

    Say("Initializing hardware and CPU...");
    InitSoundDriver(MidiLogName.c_str());
    // Nothing of the previous game or loaded state survives in the CPU:
    // the banked registers start as the console's reset leaves them.
    ConsoleCpu = ArmState{};
    MachineReset();
    Say("OK\nStarting CPU...\n");
    return true;
}

} // namespace

void PlugMachineIntoCore()
{
    Bus = ArmBus{
        .lineHook = MachineLineHook,
        .biosCall = MachineBiosCall,
        .writeIo = MachineWriteIo,
        .readIo16 = MachineReadIo16,
        .readIo32 = MachineReadIo32,
        .eepromReadBit = EepromBusRead,
        .eepromWriteBit = EepromBusWrite,
        .rtcWrite = RtcBusWrite,
        .flashWrite = FlashBusWrite,
    };
}

// A start that fails frees what it took and writes no file: the battery
// file of a game that never ran stays as it was.
int MachineStart(const char *path)
{
    PlugMachineIntoCore();
    BatteryInPlace = false;
    if (StartOn(path))
        return 1;
    ReleaseMachine();
    return 0;
}

bool MachineShutdown()
{
    // A chip left in ID mode still holds the game's bytes under the ID.
    FlashDetach();
    // The battery file decides itself whether save memory changed since
    // start-up; memory erased to zero must reach the file too.
    bool written = true;
    if (BatteryInPlace && !SaveFileName.empty()) {
        if (LogFlags)
            printConsole("\nSaving %s...", SaveFileName.c_str());
        written = SaveBatteryFile(SaveFileName.c_str());
        Say(written ? "OK\n" : "FAILED\n");
    }
    ReleaseMachine();
    return written;
}

} // namespace Tavrin
