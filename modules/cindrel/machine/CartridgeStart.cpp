// Starting a cartridge: the machine's records, the image (plain or from a
// zip archive), the battery RAM, the timing and the palette; and the
// shutdown that saves the battery and releases what the start allocated.
#include "common/zorvan/Console.h"
#include "common/zorvan/Refusal.h"
#include "common/zorvan/SafeFile.h"
#include "engine/ZipArchive.h"
#include "modules/cindrel/machine/BatteryFile.h"
#include "modules/common/ImageCheck.h"
#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/sounddriver/SoundDriver.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace Cindrel {

CartridgeFacts Cartridge;
uint8_t *CpuSpace;
uint8_t *VideoSpace;
uint8_t *RomBuffer;
size_t RomBufferSize;
uint8_t *VromBuffer;
size_t VromBufferSize;
uint8_t *PatternRamBuffer;
size_t PatternRamBufferSize;
bool CartridgeStarted;
uint8_t Latch9State;
uint8_t Latch10LowState;
uint8_t Latch10HighState;
uint8_t *Latch9Pages[2];
uint8_t *Latch10LowPages[2];
uint8_t *Latch10HighPages[2];
uint8_t *Mmc5BgPages[4];
uint8_t *Mmc5ExAttributes;
uint8_t *Mmc5ChrBase;
uint32_t Mmc5ChrMask;

namespace {

std::vector<uint8_t> CpuSpaceStore;
std::vector<uint8_t> VideoSpaceStore;
std::vector<uint8_t> RomStore;
std::vector<uint8_t> VromStore;
std::vector<uint8_t> PatternRamStore;
std::string SaveName;

// The largest image a header can describe: header, trainer, 4095 program
// and 4095 pattern pages.
constexpr size_t MaxImageSize = 16 + 512 + 4095 * 0x4000 + 4095 * 0x2000;

// Work RAM beyond four pages does not fit the CPU space; pattern RAM
// beyond 256 KB is more than any bank register reaches.
constexpr int MaxRamPages = 4;
constexpr int MaxPatternRamPages = 32;

constexpr uint32_t DefaultPalette[64] = {
    0x808080, 0x003DA6, 0x0012B0, 0x440096, 0xA1005E, 0xC70028, 0xBA0600, 0x8C1700,
    0x5C2F00, 0x104500, 0x054A00, 0x00472E, 0x004166, 0x000000, 0x050505, 0x050505,
    0xC7C7C7, 0x0077FF, 0x2155FF, 0x8237FA, 0xEB2FB5, 0xFF2950, 0xFF2200, 0xD63200,
    0xC46200, 0x358000, 0x058F00, 0x008A55, 0x0099CC, 0x212121, 0x090909, 0x090909,
    0xFFFFFF, 0x0FD7FF, 0x69A2FF, 0xD480FF, 0xFF45F3, 0xFF618B, 0xFF8833, 0xFF9C12,
    0xFABC20, 0x9FE30E, 0x2BF035, 0x0CF0A4, 0x05FBFF, 0x5E5E5E, 0x0D0D0D, 0x0D0D0D,
    0xFFFFFF, 0xA6FCFF, 0xB3ECFF, 0xDAABEB, 0xFFA8F9, 0xFFABB3, 0xFFD2B0, 0xFFEFA6,
    0xFFF79C, 0xD7E895, 0xA6EDAF, 0xA2F2DA, 0x99FFFC, 0xDDDDDD, 0x111111, 0x111111,
};

const char *const MirroringText[5] = {
    "Horizontal Mirroring", "Vertical Mirroring", "Screen Buffer at $2000", "Screen Buffer at $2400",
    "4 Screen Buffers",
};

// A buffer of at least minimum bytes, a power of two, holding the loaded
// bytes and mirror copies of them after.
void FillMirrored(std::vector<uint8_t> &store, const uint8_t *data, size_t length, size_t minimum)
{
    size_t size = minimum;
    while (size < length)
        size <<= 1;
    store.assign(size, 0);
    for (size_t at = 0; at < size; at += length)
        std::memcpy(store.data() + at, data, std::min(length, size - at));
}

void ClearRecords()
{
    Cartridge = CartridgeFacts();
    CartridgeStarted = false;
    QuitFlag = false;
    FrameDone = false;
    Cpu = Cpu6502State();
    MapperState = MapperStateRecord();
    MapperWrite = nullptr;
    MapperLine = nullptr;
    MapperLineAfterDrawing = false;
    MapperRead = nullptr;
    LineRenderer = nullptr;
    std::fill(std::begin(FetchMap), std::end(FetchMap), nullptr);
    std::fill(std::begin(VideoPageMap), std::end(VideoPageMap), nullptr);
    Latch9State = Latch10LowState = Latch10HighState = 0;
    for (uint8_t **pages : {Latch9Pages, Latch10LowPages, Latch10HighPages})
        pages[0] = pages[1] = nullptr;
    std::fill(std::begin(Mmc5BgPages), std::end(Mmc5BgPages), nullptr);
    Mmc5ExAttributes = Mmc5ChrBase = nullptr;
    Mmc5ChrMask = 0;
    PpuBgPalette = PpuSpritePalette = nullptr;
    SpriteHalf = BackgroundHalf = VideoPageMap;
    FrameSkipCounter = 0;
    CycleTotal = 0;
    LineStep = 0;
    MirroringMode = 0;
    std::memset(PpuRegisters, 0, sizeof PpuRegisters);
    ScrollY = 0;
    CpuPatternPages = VideoPageMap;
    PatternFetchWatch = nullptr;
    RomBuffer = VromBuffer = PatternRamBuffer = nullptr;
    RomBufferSize = VromBufferSize = PatternRamBufferSize = 0;
    for (std::vector<uint8_t> *store : {&RomStore, &VromStore, &PatternRamStore}) {
        store->clear();
        store->shrink_to_fit();
    }
}

void AllocateSpaces()
{
    printConsole("Allocating 64kB for CPU address space...");
    CpuSpaceStore.assign(CpuSpaceSize, 0);
    CpuSpace = CpuSpaceStore.data();
    for (size_t a = 0; a < CpuSpaceSize; ++a)
        CpuSpace[a] = uint8_t(a >> 8);
    std::memset(CpuSpace + 0x6000, 0, 0x8000);
    std::memset(CpuSpace, 0, 0x4000);
    // $E000-$FFFF, past the last RAM page, reads as an empty $6000-$7FFF
    // would: each byte the high byte of its address there.
    for (size_t a = 0xE000; a < CpuSpaceSize; ++a)
        CpuSpace[a] = uint8_t((a - 0x8000) >> 8);
    for (int n = 0; n < 8; ++n)
        FetchMap[n] = CpuSpace + n * 0x2000;
    printConsole("OK\nAllocating 16kB for Video address space...");
    VideoSpaceStore.assign(VideoSpaceSize, 0);
    VideoSpace = VideoSpaceStore.data();
    MapVideoPages(0, 15, VideoSpace);
    printConsole("OK\n");
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Reads the image bytes; returns the failure message or null.
const char *ReadImageBytes(const std::string &path, const std::string &zipMember, std::vector<uint8_t> &bytes)
{
    const Zorvan::String zpath(path.c_str());
    if (!ZorvanEngine::IsZipArchive(zpath)) {
        switch (Zorvan::ReadFileBounded(path, MaxImageSize, bytes)) {
        case Zorvan::ReadResult::Ok: return nullptr;
        case Zorvan::ReadResult::TooLarge: return ConsoleFiles::ImageTooLarge;
        case Zorvan::ReadResult::NotAFile: return "The path names no file (a pipe, a device or a folder)";
        default: return "NOT FOUND";
        }
    }
    std::vector<uint8_t> probe;
    if (Zorvan::ReadFileBounded(path, 4, probe) == Zorvan::ReadResult::Missing)
        return "NOT FOUND";
    const std::vector<Zorvan::String> names = ZorvanEngine::ZipMemberNames(zpath);
    if (names.empty())
        return "FAILED TO FIND FIRST FILE";
    const Zorvan::String *chosen = nullptr;
    for (const Zorvan::String &name : names)
        if (!zipMember.empty() && std::string(static_cast<const char *>(name)) == zipMember)
            chosen = &name;
    for (const Zorvan::String &name : names)
        if (!chosen && Lower(static_cast<const char *>(name)).find(".nes") != std::string::npos)
            chosen = &name;
    if (!chosen)
        return "FAILED";
    switch (ZorvanEngine::ReadZipMember(zpath, *chosen, MaxImageSize, bytes)) {
    case ZorvanEngine::ZipReadStatus::Ok:
        return nullptr;
    case ZorvanEngine::ZipReadStatus::TooLarge:
        return ConsoleFiles::ImageTooLarge;
    case ZorvanEngine::ZipReadStatus::CrcError:
    case ZorvanEngine::ZipReadStatus::ReadFailed:
        return "FAILED";
    default:
        return "FAILED TO OPEN FIRST FILE";
    }
}

// Pages of 8 KB for an NES 2.0 size byte: two shift counts, each giving
// 64 << n bytes (0: none), added, rounded up.
int PagesOfShifts(uint8_t shifts)
{
    size_t bytes = 0;
    for (int n : {shifts & 15, shifts >> 4})
        bytes += n ? size_t(64) << n : 0;
    return int((bytes + 0x1FFF) / 0x2000);
}

// The header's facts. The NES 2.0 form (byte 7 bits 2-3 = 10) adds the
// high bits of the sizes and the mapper number, a submapper and the sizes
// of work RAM and pattern RAM; in the older form bytes 10-15 must be zero.
// Returns the failure message or null.
const char *DecodeHeader(uint8_t header[16])
{
    Cartridge.nes2 = (header[7] & 0x0C) == 0x08;
    if (!Cartridge.nes2 && std::any_of(header + 10, header + 16, [](uint8_t b) { return b != 0; })) {
        printConsole("[Trash in the header]\n");
        std::memset(header + 7, 0, 9);
    }
    const int romHigh = Cartridge.nes2 ? header[9] & 15 : 0;
    const int vromHigh = Cartridge.nes2 ? header[9] >> 4 : 0;
    // The exponent form of a size (high nibble 15) describes no board this
    // machine has.
    if (romHigh == 15 || vromHigh == 15)
        return "INVALID IMAGE";
    Cartridge.romPages = header[4] | romHigh << 8;
    Cartridge.vromPages = header[5] | vromHigh << 8;
    if (Cartridge.romPages == 0)
        return "INVALID IMAGE";
    Cartridge.mirroring = (header[6] & 8) ? 4 : (header[6] & 1);
    Cartridge.trainer = header[6] & 4;
    Cartridge.mapper = (header[6] >> 4) | (header[7] & 0xF0);
    Cartridge.vsSystem = header[7] & 1;
    if (Cartridge.nes2) {
        Cartridge.mapper |= (header[8] & 15) << 8;
        Cartridge.submapper = header[8] >> 4;
        Cartridge.ramPages = std::min(PagesOfShifts(header[10]), MaxRamPages);
        Cartridge.patternRamPages = std::clamp(PagesOfShifts(header[11]), 1, MaxPatternRamPages);
        Cartridge.pal = (header[12] & 1) != 0; // PAL, or the PAL-timed clone
    } else {
        Cartridge.ramPages = std::clamp<int>(header[8], 1, MaxRamPages);
        // Mapper 13's board always carries 16 KB of pattern RAM.
        Cartridge.patternRamPages = Cartridge.mapper == 13 ? 2 : 1;
        Cartridge.pal = header[9] & 1;
    }
    if (Cartridge.vromPages)
        Cartridge.patternRamPages = 0;
    Cartridge.battery = (header[6] & 2) && Cartridge.ramPages > 0;
    return nullptr;
}

// Decodes the header and loads trainer, program and pattern ROM from the
// image; returns the failure message or null.
const char *LoadImage(const std::vector<uint8_t> &image)
{
    if (image.size() < 16 || std::memcmp(image.data(), "NES\x1A", 4) != 0)
        return "INVALID IMAGE";
    uint8_t header[16];
    std::memcpy(header, image.data(), 16);
    if (const char *failure = DecodeHeader(header))
        return failure;

    size_t at = 16;
    auto take = [&](size_t length) {
        const bool whole = image.size() - at >= length;
        at += whole ? length : 0;
        return whole;
    };
    if (Cartridge.trainer) {
        printConsole("OK\n  512-byte trainer...");
        if (!take(512))
            return "FAILED";
        std::memcpy(CpuSpace + 0x7000, image.data() + at - 512, 512);
    }
    // Program and pattern ROM, each into its mirrored buffer.
    auto part = [&](const char *label, int pages, size_t pageSize, size_t minimum, std::vector<uint8_t> &store,
                    uint8_t *&buffer, size_t &bufferSize) {
        printConsole("OK\n  %d %s pages...", pages, label);
        const size_t length = size_t(pages) * pageSize;
        if (!take(length))
            return false;
        FillMirrored(store, image.data() + at - length, length, minimum);
        buffer = store.data();
        bufferSize = store.size();
        return true;
    };
    if (!part("ROM", Cartridge.romPages, 0x4000, 0x8000, RomStore, RomBuffer, RomBufferSize))
        return "FAILED";
    if (Cartridge.vromPages && !part("VROM", Cartridge.vromPages, 0x2000, 0x2000, VromStore, VromBuffer, VromBufferSize))
        return "FAILED";
    if (Cartridge.patternRamPages > 1) {
        PatternRamStore.assign(size_t(PageMask(Cartridge.patternRamPages) + 1) * 0x2000, 0);
        PatternRamBuffer = PatternRamStore.data();
        PatternRamBufferSize = PatternRamStore.size();
    }
    return nullptr;
}

// The palette file beside the cartridge: its extension replaced by
// ".pal", or ".pal" appended when the file name has none.
std::string PaletteFileName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".pal";
    return path.substr(0, dot) + ".pal";
}

// Three hexadecimal numbers separated by blanks, as "%02X %02X %02X"
// writes them; longer numbers keep their low byte.
bool ParseColour(const std::string &line, unsigned rgb[3])
{
    size_t at = 0;
    for (int c = 0; c < 3; ++c) {
        while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at])))
            ++at;
        const size_t start = at;
        unsigned value = 0;
        while (at < line.size() && std::isxdigit(static_cast<unsigned char>(line[at]))) {
            const char d = char(std::tolower(static_cast<unsigned char>(line[at++])));
            value = ((value << 4) | unsigned(d <= '9' ? d - '0' : d - 'a' + 10)) & 0xFF;
        }
        if (at == start)
            return false;
        rgb[c] = value;
    }
    return true;
}

void LoadPalette(const std::string &path)
{
    for (int i = 0; i < 64; ++i)
        for (int c = 0; c < 3; ++c)
            Palette[i][c] = uint8_t(DefaultPalette[i] >> (16 - 8 * c));
    const std::string name = PaletteFileName(path);
    std::vector<uint8_t> bytes;
    const Zorvan::ReadResult r = Zorvan::ReadFileBounded(name, 1 << 20, bytes);
    if (r != Zorvan::ReadResult::Ok && r != Zorvan::ReadResult::TooLarge)
        return;
    const std::string text(bytes.begin(), bytes.end());
    int count = 0;
    size_t start = 0;
    while (count < 64 && start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        unsigned rgb[3];
        if (!ParseColour(line, rgb))
            break;
        for (int c = 0; c < 3; ++c)
            Palette[count][c] = uint8_t(rgb[c]);
        ++count;
        start = end + 1;
    }
    printConsole("Loaded %d colors from %s\n", count, name.c_str());
}

} // namespace

uint16_t RomChecksum(const uint8_t *bytes, size_t length)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum += bytes[i];
    return uint16_t(sum);
}

uint16_t CartridgeChecksum()
{
    if (RomBuffer)
        return RomChecksum(RomBuffer, size_t(Cartridge.romPages) * 0x4000);
    return RomChecksum(CpuSpace + 0xFFFA, 6);
}

int MachineStart(const std::string &path, const std::string &zipMember, const std::string &saveName)
{
    ClearRecords();
    SaveName = saveName;
    AllocateSpaces();
    printConsole("Opening %s...", path.c_str());
    std::vector<uint8_t> image;
    const char *failure = ReadImageBytes(path, zipMember, image);
    if (!failure)
        failure = ConsoleFiles::WhyNotAnImage(image, 0);
    if (!failure)
        failure = LoadImage(image);
    if (failure) {
        printConsole("%s\n", failure);
        Zorvan::noteRefusal(failure);
        return 0;
    }
    MirroringMode = Cartridge.mirroring;
    printConsole("OK\n  %s\n", MirroringText[Cartridge.mirroring]);
    if (Cartridge.battery)
        printConsole("  Battery-backed RAM\n");
    if (Cartridge.mapper)
        printConsole("  Memory Mapper #%d\n", Cartridge.mapper);
    if (!MapperSupported(Cartridge.mapper))
        printConsole("  %s\n", UnsupportedMapperText(Cartridge.mapper).c_str());
    if (Cartridge.battery && !SaveName.empty())
        LoadBatteryFile(SaveName);

    HPeriod = 114;
    // An NTSC frame is 262 lines of 341 dots, three dots to a CPU cycle:
    // 29780 cycles, which the frame loop's line steps spend as VPeriod - 56.
    // PAL keeps its fiftieth of the CPU clock.
    VPeriod = Cartridge.pal ? std::max(1789772 / 50, HPeriod * 256) : 341 * 262 / 3 + 56;
    FrameSkip = std::max(FrameSkip, 1);
    Cpu.linePeriod = HPeriod;
    Cpu.trapUnknownOpcodes = 0;
    Cpu.autoClear = 1;
    printConsole("Initializing Hardware and CPU:\n");
    printConsole("  %d CPU cycles per HBlank\n", HPeriod);
    printConsole("  %d CPU cycles per VBlank\n", VPeriod);
    printConsole("  %d scanlines\n", VPeriod / HPeriod);
    printConsole("  %s Video\n", Cartridge.pal ? "PAL" : "NTSC");

    LineRenderer = PpuLineEntry;
    InitSoundDriver("LOG.MID");
    MachineReset();
    LoadPalette(path);
    HandOnPalette();
    printConsole("RUNNING ROM CODE...\n");
    CartridgeStarted = true;
    return 1;
}

bool MachineShutdown()
{
    bool saved = true;
    if (CartridgeStarted && Cartridge.battery && !SaveName.empty() && CpuSpace)
        saved = SaveBatteryFile(SaveName);
    SaveName.clear();
    SaveName.shrink_to_fit();
    MidiClose();
    ClearRecords();
    CpuSpaceStore.clear();
    CpuSpaceStore.shrink_to_fit();
    VideoSpaceStore.clear();
    VideoSpaceStore.shrink_to_fit();
    CpuSpace = VideoSpace = nullptr;
    return saved;
}

} // namespace Cindrel
