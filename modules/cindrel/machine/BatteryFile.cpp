#include "modules/cindrel/machine/BatteryFile.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "modules/cindrel/machine/Machine.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Cindrel {

std::string BatteryKeptAs;

namespace {

// Other programs write the RAM behind a header of this size.
constexpr size_t ForeignHeaderSize = 16;

size_t RamSize() { return size_t(Cartridge.ramPages) * 0x2000; }

// The RAM as the start left it, to tell whether the game wrote it.
std::vector<uint8_t> startRam;
// A file stood at the battery's name that was not a save of ours. It stays
// where it is until the game's own save is about to replace it.
bool foreignFile = false;

} // namespace

bool LoadBatteryFile(const std::string &name)
{
    printConsole("Opening %s...", name.c_str());
    std::vector<uint8_t> bytes;
    const Zorvan::ReadResult result = Zorvan::ReadFileBounded(name, RamSize() + ForeignHeaderSize, bytes);
    const bool read = result == Zorvan::ReadResult::Ok || result == Zorvan::ReadResult::TooLarge;
    const bool whole = result == Zorvan::ReadResult::Ok && bytes.size() == RamSize();
    if (read) {
        printConsole("loading...");
        // A header in front of the right size is skipped; a file of any
        // other size is loaded as far as it goes.
        const bool headed = result == Zorvan::ReadResult::Ok && bytes.size() == RamSize() + ForeignHeaderSize;
        const size_t from = headed ? ForeignHeaderSize : 0;
        std::memcpy(CpuSpace + 0x6000, bytes.data() + from, std::min(bytes.size() - from, RamSize()));
    }
    // Any file but a save of ours, one that could not be read included, is
    // kept aside before a save replaces it; a folder no save can replace.
    foreignFile = !whole && result != Zorvan::ReadResult::Missing && result != Zorvan::ReadResult::NotAFile;
    startRam.assign(CpuSpace + 0x6000, CpuSpace + 0x6000 + RamSize());
    printConsole("%s\n", whole ? "OK" : "FAILED");
    return whole;
}

bool SaveBatteryFile(const std::string &name)
{
    const uint8_t *const ram = CpuSpace + 0x6000;
    // RAM the game left as it started holds nothing new: the file stays.
    if (startRam.size() == RamSize() && std::equal(startRam.begin(), startRam.end(), ram))
        return true;
    if (foreignFile) {
        if (!Zorvan::KeepAsDamagedBeforeReplacing(name, BatteryKeptAs)) {
            printConsole("\nThe battery file %s could not be moved aside...FAILED\n", name.c_str());
            return false;
        }
        foreignFile = false;
        if (!BatteryKeptAs.empty())
            printConsole("\nThe battery file was kept as %s", BatteryKeptAs.c_str());
    }
    printConsole("\nOpening %s...", name.c_str());
    printConsole("writing...");
    const bool ok = Zorvan::WriteFileReplacing(name, ram, RamSize());
    if (ok)
        startRam.assign(ram, ram + RamSize());
    printConsole("%s\n", ok ? "OK" : "FAILED");
    return ok;
}

} // namespace Cindrel
