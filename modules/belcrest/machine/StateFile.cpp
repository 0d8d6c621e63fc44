// Saved states: 66,728 bytes, version 4, written field by field through a
// temporary file; read whole and checked in full before anything changes.
// Header bytes 8-11 hold the cartridge's CRC-32 and byte 12 is 1 to say so.
// States written before carry zeros there: they load only where what they
// hold fits the cartridge (its banks within the image's size).
#include "common/zorvan/ByteStream.h"
#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/belcrest/vdp/Vdp.h"

#include <algorithm>
#include <cstring>

namespace Belcrest {

namespace {

constexpr uint8_t Magic[5] = {'S', 'T', 'C', 0x1A, 4};
constexpr size_t MachineBlockWords = 256;
constexpr size_t RamBytes = 0xC000; // CpuSpace $4000-$FFFF

// Words of the machine block.
enum : unsigned {
    WordVdpMode,
    WordCartRamPages,
    WordVdpStatus,
    WordReadBuffer,
    WordVdpAddress,
    WordColourIndex,
    WordLatchEmpty,
    WordVramSelected,
    WordAccessMode,
    WordMachineWord,
    WordMappers,         // 10-13
    WordWritable = 14,   // 14-17
    WordLinePending = 18,
};

// Word 18 of states that keep the line interrupt's pending flag apart from
// the status byte: this mark, plus 1 while it is pending. Older states have
// 0 there and the flag in status bit 6.
constexpr uint32_t LinePendingKept = 0x100;

uint8_t HeaderMachineByte() { return uint8_t(MachineWord & 0x33); }

constexpr size_t CrcAt = 8, CrcMarkAt = 12;

bool Refuse(const std::string &name, const char *why, std::string *reason)
{
    if (reason)
        *reason = why;
    printConsole("State file %s refused: %s\n", name.c_str(), why);
    return false;
}

// Everything a state file holds, checked before any of it is applied.
struct StateImage {
    Z80State cpu;
    uint8_t registers[16];
    Ppi ppi[2];
    uint32_t words[MachineBlockWords];
};

// The reason the machine block cannot be used, or null.
const char *CheckMachineBlock(const uint32_t *w)
{
    if (w[WordMachineWord] != MachineWord)
        return "it was saved on another machine";
    if (w[WordVdpMode] > VdpMode4 || (IsGameGear() && w[WordVdpMode] != VdpMode4))
        return "its screen mode is out of range";
    if (w[WordCartRamPages] > 2)
        return "its cartridge RAM size is out of range";
    if (w[WordVdpAddress] >= VramSize)
        return "its VRAM address is out of range";
    if (w[WordColourIndex] >= (IsGameGear() ? 64u : 32u))
        return "its colour index is out of range";
    for (unsigned i : {unsigned(WordLatchEmpty), unsigned(WordVramSelected), WordWritable + 0, WordWritable + 1,
                       WordWritable + 2, WordWritable + 3})
        if (w[i] > 1)
            return "a flag is out of range";
    if (w[WordLinePending] != 0 && (w[WordLinePending] & ~1u) != LinePendingKept)
        return "a flag is out of range";
    for (unsigned i : {unsigned(WordVdpStatus), unsigned(WordReadBuffer), unsigned(WordAccessMode), WordMappers + 0,
                       WordMappers + 1, WordMappers + 2, WordMappers + 3})
        if (w[i] > 0xFF)
            return "a byte value is out of range";
    return nullptr;
}

// Why a state without the cartridge mark cannot be this cartridge's, or
// null. Such states were written with zeros where the mark's checksum now
// is, and a game's bank registers never select pages past its image.
const char *OlderStateMismatch(const std::vector<uint8_t> &bytes, const uint32_t *w)
{
    if (bytes[CrcAt] | bytes[CrcAt + 1] | bytes[CrcAt + 2] | bytes[CrcAt + 3])
        return "its cartridge mark is missing";
    if (MachineWord & MachineHasMapper)
        for (unsigned i = 1; i < 4; ++i)
            if (w[WordMappers + i] > RomPageMask)
                return "it was saved with a larger cartridge";
    return nullptr;
}

} // namespace

bool SaveStateFile(const std::string &name, std::string *reason)
{
    if (!CpuSpace)
        return Refuse(name, "no game is running", reason);
    Zorvan::ByteWriter out;
    out.bytes().reserve(StateFileSize);
    for (uint8_t b : Magic)
        out.u8(b);
    out.u8(HeaderMachineByte());
    out.zeros(CrcAt - 6);
    out.u32(CartridgeCrc);
    out.u8(1);
    out.zeros(16 - CrcMarkAt - 1);
    Z80WriteImage(MachineCpu, out);
    out.raw(VdpRegisters, 16);
    PpiWriteImage(MachinePpi[0], out);
    PpiWriteImage(MachinePpi[1], out);

    uint32_t words[MachineBlockWords] = {};
    words[WordVdpMode] = VdpMode;
    words[WordCartRamPages] = CartRamPagesUsed;
    words[WordVdpStatus] = VdpStatus;
    words[WordReadBuffer] = VdpReadBuffer;
    words[WordVdpAddress] = VdpAddress;
    words[WordColourIndex] = VdpColourIndex;
    words[WordLatchEmpty] = VdpLatchEmpty;
    words[WordVramSelected] = VdpVramSelected;
    words[WordAccessMode] = VdpAccessMode;
    words[WordLinePending] = LinePendingKept | (VdpLinePending ? 1 : 0);
    words[WordMachineWord] = MachineWord;
    for (unsigned i = 0; i < 4; ++i) {
        words[WordMappers + i] = MapperRegisters[i];
        words[WordWritable + i] = RegionWritable[i] ? 1 : 0;
    }
    for (uint32_t w : words)
        out.u32(w);
    out.raw(CpuSpace.get() + 0x4000, RamBytes);
    out.raw(VdpMemory, VramSize + ColourRamSize);

    if (!Zorvan::WriteFileReplacing(name, out.bytes()))
        return Refuse(name, "it could not be written", reason);
    return true;
}

bool LoadStateFile(const std::string &name, std::string *reason)
{
    if (!CpuSpace)
        return Refuse(name, "no game is running", reason);
    std::vector<uint8_t> bytes;
    const Zorvan::ReadResult r = Zorvan::ReadFileBounded(name, StateFileSize + 1, bytes);
    if (r == Zorvan::ReadResult::Missing)
        return Refuse(name, "it does not exist", reason);
    if (r == Zorvan::ReadResult::NotAFile)
        return Refuse(name, "it is not a file (a pipe, a device or a folder)", reason);
    if (r != Zorvan::ReadResult::Ok && r != Zorvan::ReadResult::TooLarge)
        return Refuse(name, "it could not be read", reason);
    if (bytes.size() != StateFileSize)
        return Refuse(name, "its length is wrong", reason);
    if (std::memcmp(bytes.data(), Magic, 4) != 0)
        return Refuse(name, "it is not a state file", reason);
    if (bytes[4] != Magic[4])
        return Refuse(name, "its version is not 4", reason);
    if (bytes[5] != HeaderMachineByte())
        return Refuse(name, "it was saved on another machine", reason);
    if (bytes[CrcMarkAt] > 1)
        return Refuse(name, "its header is damaged", reason);

    Zorvan::ByteReader in(bytes);
    in.skip(CrcAt);
    if (in.u32() != CartridgeCrc && bytes[CrcMarkAt] == 1)
        return Refuse(name, "it was saved with another cartridge", reason);
    in.skip(16 - CrcAt - 4);
    StateImage s;
    s.cpu = MachineCpu;
    if (!Z80ReadImage(s.cpu, in))
        return Refuse(name, "its CPU registers are damaged", reason);
    // Only the display processor's request or none can be pending between
    // frames; anything else (a quit, a wide vector) would be obeyed blindly.
    if (s.cpu.pendingInterrupt != 0x00FF && s.cpu.pendingInterrupt != Z80VectorNone)
        return Refuse(name, "its pending interrupt is damaged", reason);
    in.raw(s.registers, 16);
    s.ppi[0] = MachinePpi[0];
    s.ppi[1] = MachinePpi[1];
    if (!PpiReadImage(s.ppi[0], in) || !PpiReadImage(s.ppi[1], in))
        return Refuse(name, "its PPI records are damaged", reason);
    for (uint32_t &w : s.words)
        w = in.u32();
    if (!in.ok())
        return Refuse(name, "its length is wrong", reason);
    if (const char *why = CheckMachineBlock(s.words))
        return Refuse(name, why, reason);
    if (bytes[CrcMarkAt] == 0)
        if (const char *why = OlderStateMismatch(bytes, s.words))
            return Refuse(name, why, reason);
    const size_t ramAt = in.position();

    // Everything checked: apply.
    MachineCpu = s.cpu;
    std::memcpy(VdpRegisters, s.registers, 16);
    MachinePpi[0] = s.ppi[0];
    MachinePpi[1] = s.ppi[1];
    std::memcpy(CpuSpace.get() + 0x4000, bytes.data() + ramAt, RamBytes);
    std::memcpy(VdpMemory, bytes.data() + ramAt + RamBytes, VramSize + ColourRamSize);

    const uint32_t *w = s.words;
    for (unsigned i = 0; i < 4; ++i) {
        MapperRegisters[i] = uint8_t(w[WordMappers + i]);
        RegionWritable[i] = uint8_t(w[WordWritable + i]);
    }
    if (MachineWord & MachineHasMapper) {
        // The map follows from the mapper, whatever the file's flags say.
        RegionWritable[0] = RegionWritable[1] = 0;
        RegionWritable[2] = (MapperRegisters[0] & 0x08) ? 1 : 0;
        RegionWritable[3] = 1;
    }
    VdpMode = uint8_t(w[WordVdpMode]);
    CartRamPagesUsed = std::max(uint8_t(w[WordCartRamPages]), BatteryPagesLoaded);
    VdpStatus = uint8_t(w[WordVdpStatus]);
    if (w[WordLinePending] & LinePendingKept) {
        VdpLinePending = uint8_t(w[WordLinePending] & 1);
    } else {
        // An older state: its line flag sits where the overflow flag is now.
        VdpLinePending = (VdpStatus & VdpStatusOverflow) ? 1 : 0;
        VdpStatus &= uint8_t(~VdpStatusOverflow);
    }
    VdpReadBuffer = uint8_t(w[WordReadBuffer]);
    VdpLatchEmpty = uint8_t(w[WordLatchEmpty]);
    VdpAddress = uint16_t(w[WordVdpAddress]);
    VdpColourIndex = uint8_t(w[WordColourIndex]);
    VdpVramSelected = uint8_t(w[WordVramSelected]);
    VdpAccessMode = uint8_t(w[WordAccessMode]);
    RebuildMemoryMap();

    if (MachineWord & MachineHasMapper)
        VdpRefreshPalette();
    VdpBackdrop = VdpRegisters[7] & 0x0F;
    VdpTextColour = VdpRegisters[7] >> 4;
    VdpSetTables(VdpMode);
    // States are taken between frames, where the frame's last visible line
    // has just been handled.
    CurrentLine = LastVisibleLine;
    LineSubStep = 0;
    VdpLatchScroll();
    VdpLatchVScroll();
    VdpIrqBits = uint8_t(((VdpStatus & VdpStatusFrame) && (VdpRegisters[1] & 0x20) ? 1 : 0) |
                         (VdpLinePending && (VdpRegisters[0] & 0x10) ? 2 : 0));
    MachineCpu.pendingInterrupt = VdpIrqBits ? 0x00FF : Z80VectorNone;
    return true;
}

} // namespace Belcrest
