// Starting the machine for one game: the machine type, the records, the
// cartridge image (plain or a zip member), the Game Gear header, the battery
// RAM and, on the SF-7000, the system ROM and the disk.
#include "common/zorvan/Console.h"
#include "common/zorvan/Refusal.h"
#include "common/zorvan/SafeFile.h"
#include "engine/ZipArchive.h"
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "modules/common/ImageCheck.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include <zlib.h>

namespace Belcrest {

namespace {

// 256 pages after a 512-byte header: the largest image; anything longer is
// refused rather than cut.
constexpr size_t ImageReadLimit = size_t(MaxRomPages) * RomPageSize + 512;
// No game of these consoles is smaller.
constexpr size_t SmallestImage = 1024;
constexpr size_t HalfPage = RomPageSize / 2;

std::string Lower(std::string text)
{
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string &text, const char *end)
{
    const size_t n = std::strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

bool ContainsEither(const std::string &path, const char *lower, const char *upper)
{
    return path.find(lower) != std::string::npos || path.find(upper) != std::string::npos;
}

uint32_t TypeFromName(const std::string &path)
{
    uint32_t type = 0;
    if (ContainsEither(path, ".sg", ".SG"))
        type |= MachineSg1000;
    if (ContainsEither(path, ".sc", ".SC"))
        type |= MachineSc3000;
    if (ContainsEither(path, ".sf", ".SF"))
        type |= MachineSf7000;
    if (ContainsEither(path, ".sm", ".SM"))
        type |= MachineMasterSystem;
    if (ContainsEither(path, ".gg", ".GG"))
        type |= MachineGameGear;
    return type ? type : MachineMasterSystem;
}

// Reads the image (or the chosen zip member) into memory, bounded.
bool ReadImage(const std::string &path, const std::string &zipMember, std::vector<uint8_t> &image,
               const char *&message)
{
    const Zorvan::String archive(path.c_str());
    if (!ZorvanEngine::IsZipArchive(archive)) {
        switch (Zorvan::ReadFileBounded(path, ImageReadLimit, image)) {
        case Zorvan::ReadResult::Ok: return true;
        case Zorvan::ReadResult::TooLarge: message = ConsoleFiles::ImageTooLarge; return false;
        case Zorvan::ReadResult::NotAFile: message = "The path names no file (a pipe, a device or a folder)"; return false;
        default: message = "NOT FOUND"; return false;
        }
    }
    const std::vector<Zorvan::String> names = ZorvanEngine::ZipMemberNames(archive);
    if (names.empty()) {
        std::error_code error;
        message = std::filesystem::exists(path, error) ? "FAILED TO FIND FIRST FILE" : "NOT FOUND";
        return false;
    }
    Zorvan::String member;
    if (!zipMember.empty()) {
        member = Zorvan::String(zipMember.c_str());
    } else {
        for (const Zorvan::String &name : names) {
            const std::string lower = Lower(static_cast<const char *>(name));
            if (EndsWith(lower, ".sms") || EndsWith(lower, ".gg")) {
                member = name;
                break;
            }
        }
        if (member.IsEmpty()) {
            message = "CORRUPTED FILE";
            return false;
        }
    }
    switch (ZorvanEngine::ReadZipMember(archive, member, ImageReadLimit, image)) {
    case ZorvanEngine::ZipReadStatus::Ok:
        return true;
    case ZorvanEngine::ZipReadStatus::TooLarge:
        message = ConsoleFiles::ImageTooLarge;
        return false;
    case ZorvanEngine::ZipReadStatus::OpenFailed:
        message = "NOT FOUND";
        return false;
    case ZorvanEngine::ZipReadStatus::NoMember:
    case ZorvanEngine::ZipReadStatus::Encrypted:
        message = "FAILED TO OPEN FIRST FILE";
        return false;
    default:
        message = "CORRUPTED FILE";
        return false;
    }
}

// The refusals every console makes before a file becomes a cartridge.
bool AcceptImage(const std::vector<uint8_t> &image, const char *&message)
{
    message = ConsoleFiles::WhyNotAnImage(image, SmallestImage);
    return message == nullptr;
}

void ReadGameGearHeader()
{
    const uint8_t header = RomPages[1][0x3FFF];
    const unsigned country = header >> 4, size = header & 15;
    if ((MachineWord & MachineCountryMask) != MachineCountryExport &&
        (MachineWord & MachineCountryMask) != MachineCountryJapan)
        MachineWord = (MachineWord & ~MachineCountryMask) | (country == 5 ? MachineCountryJapan : MachineCountryExport);
    if (!VerboseFlags)
        return;
    static const char *const Countries[16] = {nullptr, nullptr, nullptr, nullptr, nullptr, "Japan",
                                              "Japan, USA, Europe", "USA, Europe"};
    static const char *const Sizes[16] = {">128kB", nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr,  nullptr, nullptr, nullptr, nullptr, nullptr,
                                          "32kB",   "64kB",  "128kB"};
    if (Countries[country])
        printConsole("  Country: %s\n", Countries[country]);
    else
        printConsole("  Country: Unknown (%d)\n", country);
    if (Sizes[size])
        printConsole("  Size:    %s\n", Sizes[size]);
    else
        printConsole("  Size:    Unknown (%d)\n", size);
}

// Clears every record a previous game may have left.
void ClearMachine()
{
    for (auto &page : RomPages)
        page.reset();
    RomPageCount = 0;
    RomPageMask = 0;
    CartRamPagesUsed = 0;
    BatteryPagesLoaded = 0;
    CartridgeCrc = 0;
    QuitFlag = 0;
    FrameSkipCounter = 0;
    AutofireCounter = 0;
    Port1Latch = 0;
    FmDetectLatch = 0;
    CurrentLine = 0;
    LineSubStep = 0;
    FrameDone = 0;
    DiskImage.clear();
    std::fill(std::begin(Z80PageTable), std::end(Z80PageTable), nullptr);
    std::fill(std::begin(RegionWritable), std::end(RegionWritable), 0);
    MachineCpu = Z80State{};
    MachinePpi[0] = Ppi{};
    MachinePpi[1] = Ppi{};
    MachineEeprom = SerialEeprom{};
    std::memset(VdpRegisters, 0, sizeof VdpRegisters);
    std::memset(VdpMemory, 0, sizeof VdpMemory);
}

} // namespace

bool LoadRomPages(const std::vector<uint8_t> &image, const char *&message)
{
    for (auto &page : RomPages)
        page.reset();
    RomPageCount = 0;
    // Images come in 8 KB pages; 512 bytes more is a copier's header.
    const size_t size = image.size();
    const size_t start = size % HalfPage == 512 && size > 512 && size <= ImageReadLimit ? 512 : 0;
    if (size <= start) {
        message = "CORRUPTED FILE";
        return false;
    }
    CartridgeCrc = uint32_t(crc32(0, image.data() + start, uInt(size - start)));
    for (size_t at = start; at < size && RomPageCount < MaxRomPages; at += RomPageSize) {
        const size_t got = std::min<size_t>(RomPageSize, size - at);
        auto page = std::make_unique<uint8_t[]>(RomPageSize);
        std::memcpy(page.get(), image.data() + at, got);
        // A short last page is padded with 0xFF to a whole 8 KB; a lone
        // first half is mirrored into the second, as the cartridge's
        // address lines do.
        const size_t padded = got <= HalfPage ? HalfPage : RomPageSize;
        std::memset(page.get() + got, 0xFF, padded - got);
        if (padded == HalfPage)
            std::memcpy(page.get() + HalfPage, page.get(), HalfPage);
        RomPages[RomPageCount++] = std::move(page);
    }
    return true;
}

bool MachineStart(const std::string &path, const std::string &zipMember)
{
    if (FrameSkip < 1)
        FrameSkip = 1;
    if (LinePeriod < 1)
        LinePeriod = 216;
    if (FramePeriod / LinePeriod < 256)
        FramePeriod = LinePeriod * 256;

    if ((MachineWord & MachineTypeMask) == 0)
        MachineWord |= TypeFromName(path);
    const bool sf7000 = MachineType() == MachineSf7000;
    if (sf7000)
        DiskFileName = path;
    const std::string romPath = sf7000 ? Zorvan::FolderOfPath(path) + "/SF7000.ROM" : path;

    ClearMachine();
    MachineCpu.linePeriod = LinePeriod;
    MachineCpu.trapUnknownOpcodes = VerboseFlags & 4;
    MachineCpu.autoClear = 0;

    Progress("Allocating 64kB for CPU address space...");
    CpuSpace = std::make_unique<uint8_t[]>(CpuSpaceSize); // zeroed
    Progress("OK\nAllocating 16kB for VDP address space...");
    if (VerboseFlags)
        printConsole("OK\nOpening %s...", romPath.c_str());

    std::vector<uint8_t> image;
    const char *message = nullptr;
    if (!ReadImage(romPath, sf7000 ? std::string() : zipMember, image, message) ||
        !AcceptImage(image, message) || !LoadRomPages(image, message)) {
        // Why a file is no game is told whatever the verbosity: the user's
        // next step depends on it.
        printConsole("%s\n", message);
        Zorvan::noteRefusal(message);
        return false;
    }
    image = {};
    if (VerboseFlags)
        printConsole("%d pages loaded\n", int(RomPageCount));

    if (sf7000) {
        LoadDiskImage();
        PatchSystemRom();
    }
    if (IsGameGear() && RomPageCount >= 2)
        ReadGameGearHeader();

    LoadBatteryFile();

    if (VerboseFlags) {
        printConsole("Initializing CPU and System Hardware:\n");
        printConsole("  VBlank = %d cycles\n  HBlank = %d cycles\n", int(FramePeriod), int(LinePeriod));
    }
    if (MachineWord & MachineHasMapper)
        VdpRefreshPalette();
    if (!IsGameGear())
        VdpSetTmsPalette();
    unsigned size = 1;
    while (size < RomPageCount)
        size *= 2;
    RomPageMask = uint8_t(size - 1);
    MachineReset();
    Progress("RUNNING ROM CODE...\n");
    return true;
}

} // namespace Belcrest
