#include "modules/cindrel/machine/StateFile.h"

#include "common/zorvan/ByteStream.h"
#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "modules/cindrel/machine/MapperFramework.h"

#include <cstring>
#include <vector>

#include <zlib.h>

namespace Cindrel {

namespace {

constexpr int HardwareBlockSize = 1024;
constexpr uint8_t StateVersion = 3;

// The board's holds on the IRQ line, marked so that files saved before
// they were kept (0 there) are told apart.
constexpr uint32_t IrqSourcesMarked = 0x100;

// Header bytes 8-11 hold the cartridge's CRC-32 (program and pattern ROM)
// and byte 12 is 1 to say so: the 16-bit sum before them lets many pairs of
// games through. States written before carry zeros there and skip the check.
constexpr size_t CrcAt = 8, CrcMarkAt = 12;

uint32_t CartridgeCrc()
{
    uLong crc = crc32(0, nullptr, 0);
    if (RomBuffer)
        crc = crc32_z(crc, RomBuffer, RomBufferSize);
    if (VromBuffer)
        crc = crc32_z(crc, VromBuffer, VromBufferSize);
    return uint32_t(crc);
}

// A page pointer as a signed position: n >= 0 into the cartridge buffer,
// -n - 1 into the machine's own space. -1 << 31 when it lies elsewhere.
constexpr int32_t Nowhere = INT32_MIN;

int32_t Position(const uint8_t *page, const uint8_t *rom, size_t romSize, const uint8_t *space, size_t spaceSize,
                 size_t pageSize)
{
    if (rom && page >= rom && page + pageSize <= rom + romSize)
        return int32_t(page - rom);
    if (page >= space && page + pageSize <= space + spaceSize)
        return -int32_t(page - space) - 1;
    return Nowhere;
}

uint8_t *Pointer(int32_t position, uint8_t *rom, size_t romSize, uint8_t *space, size_t spaceSize, size_t pageSize)
{
    if (position >= 0)
        return rom && size_t(position) + pageSize <= romSize ? rom + position : nullptr;
    const size_t offset = size_t(-(int64_t(position) + 1));
    return offset + pageSize <= spaceSize ? space + offset : nullptr;
}

int32_t ProgramPosition(const uint8_t *page)
{
    return Position(page, RomBuffer, RomBufferSize, CpuSpace, CpuSpaceSize, 0x2000);
}
uint8_t *ProgramPointer(int32_t position)
{
    return Pointer(position, RomBuffer, RomBufferSize, CpuSpace, CpuSpaceSize, 0x2000);
}
// Pattern pages count from the start of the pattern ROM, or of the pattern
// RAM of a board that carries more than VideoSpace holds.
uint8_t *PatternStore() { return VromBuffer ? VromBuffer : PatternRamBuffer; }
size_t PatternStoreSize() { return VromBuffer ? VromBufferSize : PatternRamBufferSize; }

int32_t VideoPosition(const uint8_t *page)
{
    return Position(page, PatternStore(), PatternStoreSize(), VideoSpace, VideoSpaceSize, 0x400);
}
uint8_t *VideoPointer(int32_t position)
{
    return Pointer(position, PatternStore(), PatternStoreSize(), VideoSpace, VideoSpaceSize, 0x400);
}

// Everything the hardware block carries, read and checked before use.
struct HardwareBlock {
    uint32_t mirroring, line, scrollX, scrollY, vramAddress, readBuffer, toggle;
    uint32_t diskControl, diskPosition, diskSide, latch9, latch10Low, latch10High;
    uint8_t *fetch[4];  // entries 4-7
    uint8_t *video[12]; // entries 0-11
    uint8_t *entry3;
    uint32_t irqSources;
    uint8_t latchAge[8]; // zeros in files from before the latch decayed
};

bool ReadHardwareBlock(Zorvan::ByteReader &in, HardwareBlock &hw)
{
    hw.mirroring = in.u32();
    hw.line = in.u32();
    hw.scrollX = in.u32();
    hw.scrollY = in.u32();
    in.skip(4);
    hw.vramAddress = in.u32();
    hw.readBuffer = in.u32();
    hw.toggle = in.u32();
    in.skip(4);
    hw.diskControl = in.u32();
    hw.diskPosition = in.u32();
    hw.diskSide = in.u32();
    hw.latch9 = in.u32();
    hw.latch10Low = in.u32();
    hw.latch10High = in.u32();
    bool pagesOk = true;
    for (uint8_t *&page : hw.fetch)
        pagesOk &= (page = ProgramPointer(in.i32())) != nullptr;
    for (uint8_t *&page : hw.video)
        pagesOk &= (page = VideoPointer(in.i32())) != nullptr;
    const int32_t entry3 = in.i32();
    const uint32_t marked = in.u32();
    hw.entry3 = marked ? ProgramPointer(entry3) : CpuSpace + 0x6000;
    hw.irqSources = in.u32();
    in.raw(hw.latchAge, sizeof hw.latchAge);
    in.skip(HardwareBlockSize - 144);
    const bool irqOk = hw.irqSources == 0 || (hw.irqSources & ~uint32_t(IrqFromBoard)) == IrqSourcesMarked;
    return in.ok() && pagesOk && hw.entry3 && marked <= 1 && irqOk && hw.mirroring <= 4 && hw.line <= 255 &&
           hw.scrollX <= 255 && hw.scrollY <= 255 && hw.vramAddress <= 0x7FFF && hw.readBuffer <= 255 &&
           hw.toggle <= 2 && hw.diskControl <= 255 && hw.diskPosition < DiskLength && hw.diskSide <= 255 &&
           hw.latch9 <= 1 && hw.latch10Low <= 1 && hw.latch10High <= 1;
}

void WriteHardwareBlock(Zorvan::ByteWriter &out)
{
    const size_t start = out.size();
    out.u32(uint32_t(MirroringMode));
    out.u32(CurrentLine);
    out.u32(ScrollX);
    out.u32(ScrollY);
    out.u32(ScrollY);
    out.u32(VramAddress);
    out.u32(ReadBuffer);
    out.u32(WriteToggle);
    out.u32(WriteToggle);
    out.u32(DiskControl);
    out.u32(DiskPosition);
    out.u32(DiskSide);
    out.u32(Latch9State);
    out.u32(Latch10LowState);
    out.u32(Latch10HighState);
    for (int n = 4; n < 8; ++n)
        out.i32(ProgramPosition(FetchMap[n]));
    for (int n = 0; n < 12; ++n)
        out.i32(VideoPosition(VideoPageMap[n]));
    out.i32(ProgramPosition(FetchMap[3]));
    out.u32(1);
    out.u32(IrqSourcesMarked | (IrqSources & IrqFromBoard));
    out.raw(IoLatchAge, sizeof IoLatchAge);
    out.zeros(HardwareBlockSize - (out.size() - start));
}

bool PagesSaveable()
{
    for (int n = 3; n < 8; ++n)
        if (ProgramPosition(FetchMap[n]) == Nowhere)
            return false;
    for (int n = 0; n < 12; ++n)
        if (VideoPosition(VideoPageMap[n]) == Nowhere)
            return false;
    return true;
}

int Refuse(std::string *reason, const std::string &name, const std::string &why)
{
    printConsole("Loading state %s...FAILED (%s)\n", name.c_str(), why.c_str());
    if (reason)
        *reason = why;
    return 0;
}

} // namespace

void WriteMachineBlocks(Zorvan::ByteWriter &out)
{
    out.raw(CpuSpace, CpuSpaceSize);
    out.raw(VideoSpace, VideoSpaceSize);
    out.raw(SpriteRam, sizeof SpriteRam);
    out.raw(PpuRegisters, sizeof PpuRegisters);
    ApuWriteImage(SoundUnit, out);
    out.raw(MapperState.bytes, sizeof MapperState.bytes);
    ApuWriteImage(MapperState.sound, out);
    if (PatternRamBuffer)
        out.raw(PatternRamBuffer, PatternRamBufferSize);
}

size_t StateSizeForCartridge() { return StateFileSize + (PatternRamBuffer ? PatternRamBufferSize : 0); }

int SaveStateFile(const std::string &name)
{
    if (name.empty() || !CartridgeStarted || !PagesSaveable())
        return 0;
    // The sound units' counters as they stand at this cycle.
    RunSound(MachineCycle() - 1);
    Zorvan::ByteWriter out;
    for (uint8_t b : {uint8_t('S'), uint8_t('T'), uint8_t('B'), uint8_t(0x1A), StateVersion})
        out.u8(b);
    out.u16(CartridgeChecksum());
    out.zeros(CrcAt - 7);
    out.u32(CartridgeCrc());
    out.u8(1);
    out.zeros(16 - CrcMarkAt - 1);
    Cpu6502WriteImage(Cpu, out);
    WriteHardwareBlock(out);
    WriteMachineBlocks(out);
    if (out.size() != StateSizeForCartridge())
        return 0;
    return Zorvan::WriteFileReplacing(name, out.bytes()) ? 1 : 0;
}

int LoadStateFile(const std::string &name, std::string *reason)
{
    if (name.empty() || !CartridgeStarted)
        return Refuse(reason, name, "no cartridge");
    std::vector<uint8_t> bytes;
    const Zorvan::ReadResult result = Zorvan::ReadFileBounded(name, StateSizeForCartridge() + 1, bytes);
    if (result == Zorvan::ReadResult::NotAFile)
        return Refuse(reason, name, "not a file (a pipe, a device or a folder)");
    if (result != Zorvan::ReadResult::Ok && result != Zorvan::ReadResult::TooLarge)
        return Refuse(reason, name, "cannot be read");
    return LoadStateBytes(bytes, name, reason);
}

int LoadStateBytes(const std::vector<uint8_t> &bytes, const std::string &name, std::string *reason)
{
    if (!CartridgeStarted)
        return Refuse(reason, name, "no cartridge");
    // A board with pattern RAM of its own carries it after the mapper
    // block; its states from before it had one do not, and load as they did.
    const bool withPatternRam = PatternRamBuffer && bytes.size() == StateSizeForCartridge();
    if (bytes.size() != StateFileSize && !withPatternRam)
        return Refuse(reason, name, "wrong size");
    Zorvan::ByteReader in(bytes);
    uint8_t magic[5];
    in.raw(magic, 5);
    if (std::memcmp(magic, "STB\x1A\x03", 5) != 0)
        return Refuse(reason, name, "not a state file of this version");
    if (in.u16() != CartridgeChecksum())
        return Refuse(reason, name, "another cartridge");
    in.skip(CrcAt - 7);
    const uint32_t crc = in.u32();
    if (bytes[CrcMarkAt] > 1)
        return Refuse(reason, name, "damaged header");
    if (bytes[CrcMarkAt] == 1 && crc != CartridgeCrc())
        return Refuse(reason, name, "another cartridge");
    in.skip(16 - CrcMarkAt);

    Cpu6502State cpu = Cpu;
    if (!Cpu6502ReadImage(cpu, in))
        return Refuse(reason, name, "damaged CPU record");
    HardwareBlock hw;
    if (!ReadHardwareBlock(in, hw))
        return Refuse(reason, name, "damaged hardware block");
    const uint8_t *spaces = bytes.data() + in.position();
    in.skip(CpuSpaceSize + VideoSpaceSize + sizeof SpriteRam + sizeof PpuRegisters);
    SoundUnitState sound = SoundUnit;
    const char *soundFault = "";
    if (!ApuReadImage(sound, in, &soundFault))
        return Refuse(reason, name, std::string("damaged sound block: ") + soundFault);
    MapperStateRecord mapper = MapperState;
    in.raw(mapper.bytes, sizeof mapper.bytes);
    const MapperRow &row = MapperRowOf(Cartridge.mapper);
    if (!ApuReadImage(mapper.sound, in))
        return Refuse(reason, name, "damaged mapper block");
    if (const char *why = row.validate ? row.validate(mapper.bytes) : nullptr)
        return Refuse(reason, name, why);
    if (((hw.irqSources & IrqFromMapper) && !row.line) || ((hw.irqSources & IrqFromDrive) && Cartridge.mapper != 20))
        return Refuse(reason, name, "an IRQ held by a board without its source");
    const uint8_t *patternRam = bytes.data() + in.position();

    Cpu = cpu;
    std::memcpy(CpuSpace, spaces, CpuSpaceSize);
    Cpu6502ArmIoTraps(); // files from before carry zeros there
    std::memcpy(VideoSpace, spaces + CpuSpaceSize, VideoSpaceSize);
    std::memcpy(SpriteRam, spaces + CpuSpaceSize + VideoSpaceSize, sizeof SpriteRam);
    std::memcpy(PpuRegisters, spaces + CpuSpaceSize + VideoSpaceSize + sizeof SpriteRam, sizeof PpuRegisters);
    SoundUnit = sound;
    MapperState = mapper;
    if (withPatternRam)
        std::memcpy(PatternRamBuffer, patternRam, PatternRamBufferSize);
    DiskSide = uint8_t(hw.diskSide);
    MirroringMode = int(hw.mirroring);
    CurrentLine = uint8_t(hw.line);
    ScrollX = hw.scrollX;
    ScrollY = hw.scrollY;
    VramAddress = uint16_t(hw.vramAddress);
    ReadBuffer = uint8_t(hw.readBuffer);
    WriteToggle = uint8_t(hw.toggle);
    DiskControl = uint8_t(hw.diskControl);
    DiskPosition = hw.diskPosition;
    Latch9State = uint8_t(hw.latch9);
    Latch10LowState = uint8_t(hw.latch10Low);
    Latch10HighState = uint8_t(hw.latch10High);
    std::memcpy(IoLatchAge, hw.latchAge, sizeof IoLatchAge);
    FetchMap[3] = hw.entry3;
    for (int n = 0; n < 4; ++n)
        FetchMap[4 + n] = hw.fetch[n];
    for (int n = 0; n < 12; ++n)
        VideoPageMap[n] = hw.video[n];
    for (int n = 0; n < 4; ++n)
        VideoPageMap[12 + n] = VideoPageMap[8 + n];
    // The sound unit's hold follows its flags. In files saved before the
    // holds were kept, a request those flags do not explain was the board
    // counter's.
    if (hw.irqSources)
        IrqSources = uint8_t(hw.irqSources & IrqFromBoard);
    else
        IrqSources = cpu.pendingInterrupt == IntIrq && MapperLine && !ApuIrqLine(sound) ? IrqFromMapper : 0;
    if (row.afterLoad)
        row.afterLoad();
    // A four-screen board keeps its four tables whatever the file says.
    if (Cartridge.mirroring == 4)
        SetMirroring(4 | 128);
    SelectPatternTables();
    RestartSlice();
    return 1;
}

} // namespace Cindrel
