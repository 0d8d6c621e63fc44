// The machine's records, its reset, one frame's run, and its shutdown.
#include "modules/belcrest/machine/Machine.h"

#include "common/zorvan/Console.h"
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/sounddriver/SoundDriver.h"
#include "modules/belcrest/vdp/Vdp.h"

#include <algorithm>

namespace Belcrest {

uint32_t MachineWord = 0x200;
uint8_t VerboseFlags = 1;
int32_t FrameSkip = 3;
int32_t FrameSkipCounter;
int32_t FramePeriod = 65232;
int32_t LinePeriod = 216;
std::string BatteryFileName;
std::string DiskFileName = "SF7000.DSK";

std::unique_ptr<uint8_t[]> CpuSpace;
std::array<std::unique_ptr<uint8_t[]>, MaxRomPages> RomPages;
unsigned RomPageCount;
uint8_t RomPageMask;
uint8_t RegionWritable[4];
uint8_t MapperRegisters[4];
uint8_t CartRamPagesUsed;
uint8_t BatteryPagesLoaded;
uint16_t KeyboardRows[8];

uint8_t CurrentLine;
uint8_t LineSubStep;
uint8_t FirstVisibleLine;
uint8_t LastVisibleLine = 191;
uint8_t LineCounter;
uint8_t AutofireCounter;
int QuitFlag;

Z80State MachineCpu;
Ppi MachinePpi[2];
SerialEeprom MachineEeprom;
uint8_t Port1Latch;
uint8_t FmDetectLatch;
uint32_t CartridgeCrc;

void Progress(const char *text)
{
    if (VerboseFlags)
        printConsole("%s", text);
}

void MachineReset()
{
    const uint32_t type = MachineType();
    const bool tmsMachine = !(MachineWord & MachineHasMapper);

    static constexpr uint8_t MapperResetValues[4] = {0, 0, 1, 2};
    std::copy(std::begin(MapperResetValues), std::end(MapperResetValues), MapperRegisters);
    std::copy(std::begin(MapperResetValues), std::end(MapperResetValues), CpuSpace.get() + 0xDFFC);
    CpuSpace[0xC000] = 0;
    RegionWritable[0] = 0;
    RegionWritable[1] = type == MachineSf7000 ? 1 : 0;
    RegionWritable[2] = tmsMachine ? 1 : 0;
    RegionWritable[3] = 1;
    RebuildMemoryMap();

    VdpReset();

    CurrentLine = 0;
    LineSubStep = 0;
    LineCounter = 255;
    FirstVisibleLine = IsGameGear() ? 24 : 0;
    LastVisibleLine = IsGameGear() ? 167 : 191;
    SerialBitCount = 0;
    PauseHeld = 0;

    if (MachineWord & MachineHasEeprom) {
        EepromReset(MachineEeprom, CpuSpace.get() + 0x7F80, 4);
        std::fill(CpuSpace.get() + 0x4000, CpuSpace.get() + 0x7F80, EepromReadBit(MachineEeprom));
    }

    InitSoundDriver("LOG.MID");
    PsgReset(0);
    FmReset(4);
    PsgSync(1);
    FmSync(1);
    PpiReset(MachinePpi[0]);
    PpiReset(MachinePpi[1]);
    std::fill(std::begin(KeyboardRows), std::end(KeyboardRows), 0xFFFF);
    MachineCpu.linePeriod = LinePeriod;
    Z80Reset(MachineCpu);
}

bool MachineRunFrame() { return Z80RunFrame(MachineCpu); }

bool MachineShutdown()
{
    bool result = true;
    if (CpuSpace)
        result = SaveBatteryFile();
    MidiClose();
    SerialClose();
    for (auto &page : RomPages)
        page.reset();
    RomPageCount = 0;
    RomPageMask = 0;
    DiskImage.clear();
    DiskImage.shrink_to_fit();
    CpuSpace.reset();
    std::fill(std::begin(Z80PageTable), std::end(Z80PageTable), nullptr);
    return result;
}

} // namespace Belcrest
