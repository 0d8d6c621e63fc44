// The power-on state of every device and of the CPU, and what a state load
// leaves for the machine to work out.
#include "modules/tavrin/machine/Machine.h"

#include "modules/tavrin/bios/BiosCall.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "modules/tavrin/machine/BgOrder.h"
#include "modules/tavrin/machine/CartridgeServices.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/LineHook.h"
#include "modules/tavrin/machine/ModuleServices.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/machine/Timers.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstring>
#include <initializer_list>
#include <utility>

namespace Tavrin {

namespace {

void ResetIoRegisters()
{
    const std::pair<uint32_t, uint32_t> defaults[] = {
        {Io::KeyInput, 0xFFFF}, {Io::KeyCnt, 0}, {Io::DispCnt, 0x0080}, {Io::DispStat, 0}, {Io::VCount, 0},
        {Io::Mosaic, 0}, {Io::Ime, 0}, {Io::Ie, 0}, {Io::If, 0}, {Io::HaltCnt, 0}, {Io::SoundCntH, 0x880E},
        {Io::SoundCntX, PsgOnFlags() & 0xFF}, {0x088, 0x0200}, {0x134, 0x8000}, {Io::WaitCnt, 0},
        {Io::MemoryControl, Io::MemoryControlAtReset & 0xFFFF}, {Io::MemoryControl + 2, Io::MemoryControlAtReset >> 16},
    };
    for (auto [offset, value] : defaults)
        IoSet(offset, value);
    SetWaitStates(0);
    for (uint32_t n = 0; n < 4; ++n) {
        IoSet(Io::DmaControl(n), 0);
        IoSet(Io::TimerControl(n), 0);
    }
    for (uint32_t offset : {0x050u, 0x052u, 0x054u, 0x048u, 0x04Au, 0x040u, 0x044u, 0x042u, 0x046u})
        IoSet(offset, 0);
    for (uint32_t offset = 0x008; offset <= 0x01E; offset += 2)
        IoSet(offset, 0);
    // Affine matrices of BG2 and BG3 to identity, reference points to 0.
    for (uint32_t base : {0x020u, 0x030u}) {
        IoSet(base, 0x0100);
        IoSet(base + 2, 0);
        IoSet(base + 4, 0);
        IoSet(base + 6, 0x0100);
        for (uint32_t offset = base + 8; offset < base + 16; offset += 2)
            IoSet(offset, 0);
    }
}

void ResetRendererWords()
{
    ObjMosaicV = ObjMosaicH = BgMosaicV = BgMosaicH = 0;
    BlendEvy = BlendEvb = BlendEva = 0;
    ResetBgOrder();
    for (int i = 0; i < 2; ++i) {
        BgPa[i] = BgPd[i] = 0x100;
        BgPb[i] = BgPc[i] = 0;
        BgRefX[i] = BgRefY[i] = BgCurX[i] = BgCurY[i] = 0;
    }
    RenderDirtyFlags = 0xFF;
}

// Sprites start hidden, with an identity matrix in every other entry.
void ResetOam(uint8_t *oam)
{
    for (uint32_t entry = 0; entry < 128; ++entry) {
        const uint16_t words[4] = {0x0200, 0, 0, uint16_t(entry % 2 ? 0 : 0x0100)};
        std::memcpy(oam + 8 * entry, words, sizeof words);
    }
}

// The state the BIOS leaves when it hands over to the cartridge.
void StartAsAfterBios(ArmState &cpu, uint8_t *iwram)
{
    const uint32_t handler = 0x28;
    std::memcpy(iwram + 0x7FFC, &handler, 4);
    std::memset(iwram + BiosIntrFlagsOffset, 0, 2);
    iwram[SoftResetFlagOffset] = 0;
    cpu.cpsr = 0x1F;
    cpu.r13Svc = 0x03007FE0;
    cpu.r13Irq = 0x03007FA0;
    cpu.r[13] = 0x03007F00;
    cpu.r[14] = 0x08000000;
    cpu.r[15] = 0x08000000;
}

} // namespace

void MachineReset()
{
    const uint8_t trace = uint8_t(LogFlags & 0x40);
    FlashReset(FlashChipId & 0xFFFF, SaveRam, FlashSizeExp & 0xFF, trace);
    EepromReset(EepromRam, EepromSizeExp, DummyPage, trace);
    RtcReset(MachineBlocks.cart ? MachineBlocks.cart + 0xC4 : nullptr, trace);

    PsgResetExtended();
    PsgSync(1);

    ConsoleCpu.sliceLength = VisibleCycles;
    ConsoleCpu.reportUnknown = uint8_t(LogFlags & 0x10);
    HaltState = 0;
    WaitCallPc = 0;
    WaitSavedR12 = 0;

    if (IoPage)
        ResetIoRegisters();
    ResetTimers();
    ResetMachineClock();
    ResetRendererWords();
    if (MachineBlocks.oam) {
        ResetOam(MachineBlocks.oam);
        RepeatFirstKilobyte(MachineBlocks.oam);
    }
    ResetSoundFifos();

    ArmReset(&ConsoleCpu, 0);
    if (!(BiosLoaded & 1) && MachineBlocks.iwram)
        StartAsAfterBios(ConsoleCpu, MachineBlocks.iwram);
}

void ResumeLoadedMachine(uint32_t timerLead)
{
    ResumeMachineClock(timerLead);
    // States from before the memory control word was kept hold 0 there.
    if (IoGet32(Io::MemoryControl) == 0) {
        IoSet(Io::MemoryControl, Io::MemoryControlAtReset & 0xFFFF);
        IoSet(Io::MemoryControl + 2, Io::MemoryControlAtReset >> 16);
    }
}

} // namespace Tavrin
