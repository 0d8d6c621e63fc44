#include "modules/tavrin/files/StateFile.h"

#include "common/zorvan/ByteStream.h"
#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/bus/MemoryMap.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/cart/Flash.h"
#include "modules/tavrin/bios/BiosCall.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "modules/tavrin/cart/Rtc.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "modules/tavrin/files/GzipImage.h"
#include "modules/tavrin/files/WordBlock.h"
#include "modules/tavrin/render/RenderState.h"

#include <cstring>
#include <vector>

namespace Tavrin {

namespace {

constexpr uint8_t Magic[5] = {'S', 'T', 'D', 0x1A, 5};
constexpr size_t HeaderSize = 16;
// Header bytes 8-11 hold the cartridge's CRC-32 and byte 12 is 1 to say so:
// the complement byte alone lets many pairs of games through. States
// written before carry zeros there; for them the complement byte (the
// checksum of the header's title and codes) is all that ties them to a
// cartridge, and anything else in those bytes refuses them.
constexpr size_t CrcAt = 8, CrcMarkAt = 12;
constexpr uint32_t SmallEepromExp = 6, LargeEepromExp = 14;

struct Block {
    uint32_t address, size;
};
// Internal and external work RAM, I/O, palette, video RAM and sprites, each
// from the host block behind the first page of its region.
constexpr Block MemoryBlocks[6] = {
    {0x03000000, IwramSize}, {0x02000000, EwramSize}, {0x04000000, IoSize},
    {0x05000000, PaletteSize}, {0x06000000, VramSize}, {0x07000000, OamSize},
};
constexpr size_t RecordsSize = HeaderSize + ArmStateImageSize + FlashImageSize + EepromImageSize + RtcImageSize;
constexpr size_t MemorySize = IwramSize + EwramSize + IoSize + PaletteSize + VramSize + OamSize;
constexpr size_t FixedSize = RecordsSize + WordBlockSize + MemorySize;
static_assert(FixedSize == 443824, "the state file's fixed part keeps its size");

uint8_t *HostBlock(uint32_t address) { return WritePageTable[address >> PageShift]; }
const uint8_t *RomHeader() { return ReadPageTable[0x08000000 >> PageShift]; }

size_t SaveSize() { return size_t(1) << FlashSizeExp; }
size_t EepromBlockSize(uint32_t exp) { return size_t(8) << exp; }
size_t StateSize(uint32_t eepromExp) { return FixedSize + SaveSize() + EepromBlockSize(eepromExp); }

// The part of a state's EEPROM block that EepromRam holds; the rest is 0.
size_t EepromBytesKept(uint32_t exp)
{
    size_t size = EepromBlockSize(exp);
    return size < EepromArraySize ? size : EepromArraySize;
}

void WriteBlock(Zorvan::ByteWriter &out, const uint8_t *data, size_t size, size_t kept)
{
    if (data)
        out.raw(data, kept);
    else
        out.zeros(kept);
    out.zeros(size - kept);
}

// Everything a state holds, parsed and checked, before any of it is applied.
struct Parsed {
    uint32_t eepromExp = 0;
    ArmState cpu{};
    FlashRecord flash;
    EepromRecord eeprom;
    RtcRecord rtc;
    MachineWords words{};
    const uint8_t *memory = nullptr, *save = nullptr, *eepromBytes = nullptr;
};

bool CycleCountInRange(int32_t v) { return v >= -(1 << 24) && v <= 960; }

const char *Parse(const std::vector<uint8_t> &file, Parsed &p)
{
    if (file.size() < HeaderSize || std::memcmp(file.data(), Magic, sizeof Magic) != 0)
        return "not a state file of this version";
    if (file[5] != RomHeader()[0xBD])
        return "made with another cartridge";
    if (file[CrcMarkAt] > 1)
        return "header damaged";
    if (file[CrcMarkAt] == 1 && Zorvan::ByteReader(file.data() + CrcAt, 4).u32() != CartridgeCrc)
        return "made with another cartridge";
    if (file[CrcMarkAt] == 0 && Zorvan::ByteReader(file.data() + CrcAt, 4).u32() != 0)
        return "its cartridge mark is missing";
    if (file[6] != uint8_t(FlashSizeExp))
        return "made with another flash size";
    p.eepromExp = file[7];
    if (p.eepromExp != SmallEepromExp && p.eepromExp != LargeEepromExp)
        return "EEPROM size out of range";
    if (file.size() != StateSize(p.eepromExp))
        return "wrong size";

    Zorvan::ByteReader in(file);
    in.skip(HeaderSize);
    p.cpu = ConsoleCpu;
    if (!ArmReadImage(p.cpu, in))
        return "CPU record out of range";
    // A slice ends at the next line event (960 or 272 cycles) or sooner, at
    // a timer interrupt.
    if (p.cpu.sliceLength < 1 || p.cpu.sliceLength > 960 || !CycleCountInRange(p.cpu.cyclesLeft) ||
        !CycleCountInRange(p.cpu.savedCycles))
        return "CPU time slice out of range";
    p.flash = FlashState;
    p.flash.base = SaveRam;
    if (!FlashReadImage(p.flash, in))
        return "flash record out of range";
    p.eeprom = EepromState;
    if (!EepromReadImage(p.eeprom, in) || p.eeprom.bits != p.eepromExp)
        return "EEPROM record out of range";
    p.rtc = RtcState;
    if (!RtcReadImage(p.rtc, in))
        return "clock record out of range";
    if (const char *why = ReadWordBlock(p.words, in))
        return why;
    p.memory = file.data() + in.position();
    p.save = p.memory + MemorySize;
    p.eepromBytes = p.save + SaveSize();
    return nullptr;
}

uint32_t IoHalf(uint32_t offset) { return HostHalf(IoPage + offset); }
uint32_t Sixteenths(uint32_t field) { return (field & 0x10) ? 16 : field & 0xF; }

void Apply(const Parsed &p)
{
    const uint32_t trace = LogFlags & 64;
    ConsoleCpu = p.cpu;
    ConsoleCpu.reportUnknown = uint8_t(LogFlags & 16);

    const uint8_t *from = p.memory;
    for (const Block &b : MemoryBlocks) {
        std::memcpy(HostBlock(b.address), from, b.size);
        from += b.size;
    }
    // What the game sees of palette RAM and OAM is their first 1 KB (the
    // renderer's view too); states written before the copies were kept
    // equal may hold other bytes beyond it.
    RepeatFirstKilobyte(HostBlock(0x05000000));
    RepeatFirstKilobyte(HostBlock(0x07000000));
    std::memcpy(SaveRam, p.save, SaveSize());
    if (EepromRam)
        std::memcpy(EepromRam, p.eepromBytes, EepromBytesKept(p.eepromExp));

    FlashState = p.flash;
    FlashState.trace = uint8_t(trace);
    MapPages(FlashState.bank, FlashBankSize, 0x0E000000, 0x02000000, true);
    EepromState = p.eeprom;
    EepromState.trace = uint8_t(trace);
    EepromSizeExp = p.eepromExp;
    RtcState = p.rtc;
    RtcState.trace = uint8_t(trace);
    RtcRestorePort();

    PutMachineWords(p.words);
    ResumeLoadedMachine(p.words.timerLead);
    RenderDirtyFlags = 0xFF;
    uint32_t alpha = IoHalf(0x052), brightness = IoHalf(0x054), mosaic = IoHalf(0x04C);
    BlendEva = Sixteenths(alpha);
    BlendEvb = Sixteenths(alpha >> 8);
    BlendEvy = Sixteenths(brightness);
    BgMosaicH = mosaic & 0xF;
    BgMosaicV = (mosaic >> 4) & 0xF;
    ObjMosaicH = (mosaic >> 8) & 0xF;
    ObjMosaicV = (mosaic >> 12) & 0xF;
    WaitCallPc = 0;
    WaitSavedR12 = 0;
    SetWaitStates(IoHalf(0x204));
    UpdatePcmRates();
}

} // namespace

std::vector<uint8_t> StateImage()
{
    Zorvan::ByteWriter out;
    for (uint8_t b : Magic)
        out.u8(b);
    out.u8(RomHeader()[0xBD]);
    out.u8(uint8_t(FlashSizeExp));
    out.u8(uint8_t(EepromSizeExp));
    out.u32(CartridgeCrc);
    out.u8(1);
    out.zeros(HeaderSize - CrcMarkAt - 1);
    ArmWriteImage(ConsoleCpu, out);
    FlashWriteImage(FlashState, out);
    EepromWriteImage(EepromState, out);
    RtcWriteImage(RtcState, out);
    WriteWordBlock(TakeMachineWords(), out);
    for (const Block &b : MemoryBlocks)
        out.raw(HostBlock(b.address), b.size);
    WriteBlock(out, SaveRam, SaveSize(), SaveSize());
    WriteBlock(out, EepromRam, EepromBlockSize(EepromSizeExp), EepromBytesKept(EepromSizeExp));
    return std::move(out.bytes());
}

int SaveStateFile(const char *name)
{
    std::vector<uint8_t> gz;
    return GzipBytes(StateImage(), gz) && Zorvan::WriteFileReplacing(name, gz);
}

int LoadStateFile(const char *name)
{
    const size_t largest = StateSize(LargeEepromExp);
    std::vector<uint8_t> gz, file;
    const char *why = nullptr;
    switch (Zorvan::ReadFileBounded(name, GzipSizeBound(largest), gz)) {
    case Zorvan::ReadResult::Ok: break;
    case Zorvan::ReadResult::Missing: why = "no such file"; break;
    case Zorvan::ReadResult::NotAFile: why = "not a file (a pipe, a device or a folder)"; break;
    case Zorvan::ReadResult::TooLarge: why = "too large"; break;
    default: why = "cannot be read"; break;
    }
    if (!why) {
        switch (GunzipBounded(gz, largest, file)) {
        case GunzipResult::Ok: break;
        case GunzipResult::TooLarge: why = "too large"; break;
        case GunzipResult::Damaged: why = "damaged"; break;
        }
    }
    if (why) {
        printConsole("State file %s refused: %s.\n", name, why);
        return 0;
    }
    return LoadStateImage(file, name);
}

int LoadStateImage(const std::vector<uint8_t> &file, const char *name)
{
    Parsed parsed;
    const char *why = !SaveRam || !IoPage ? "no machine running" : Parse(file, parsed);
    if (why) {
        printConsole("State file %s refused: %s.\n", name, why);
        return 0;
    }
    Apply(parsed);
    return 1;
}

} // namespace Tavrin
