// The battery file: the cartridge RAM as raw 16 KB pages (one or two), read
// at start and written at shutdown, only when the game changed the RAM,
// through the consoles' shared battery file.
#include "common/zorvan/Console.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/common/BatteryFile.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace Belcrest {

namespace {

constexpr size_t CartRamSize = 2 * RomPageSize;

ConsoleFiles::BatteryFile battery;
// Pages the last file judged a save held.
uint8_t pagesInFile;

bool Judge(const std::vector<uint8_t> &file, std::vector<uint8_t> &ram)
{
    if (file.size() != RomPageSize && file.size() != CartRamSize)
        return false;
    std::copy(file.begin(), file.end(), ram.begin());
    pagesInFile = uint8_t(file.size() / RomPageSize);
    return true;
}

const ConsoleFiles::BatteryRule Rule{CartRamSize, Judge, nullptr};

} // namespace

void LoadBatteryFile()
{
    uint8_t *const ram = CpuSpace.get() + 0x4000;
    std::vector<uint8_t> image(ram, ram + CartRamSize);
    struct stat st;
    const bool found = !BatteryFileName.empty() && lstat(BatteryFileName.c_str(), &st) == 0;
    if (found && VerboseFlags)
        printConsole("Found %s...reading...", BatteryFileName.c_str());
    if (!battery.Load(BatteryFileName, Rule, image)) {
        if (found)
            Progress("FAILED\n");
        return;
    }
    std::memcpy(ram, image.data(), CartRamSize);
    BatteryPagesLoaded = pagesInFile;
    // The whole save is written back even when this run maps only page 1.
    CartRamPagesUsed = BatteryPagesLoaded;
    Progress("OK\n");
}

bool SaveBatteryFile()
{
    if (BatteryFileName.empty() || CartRamPagesUsed == 0)
        return true;
    const uint8_t *const ram = CpuSpace.get() + 0x4000;
    const std::vector<uint8_t> image(ram, ram + size_t(CartRamPagesUsed) * RomPageSize);
    if (VerboseFlags)
        printConsole("\nSaving %s...", BatteryFileName.c_str());
    const bool ok = battery.Save(image);
    Progress(ok ? "OK\n" : "FAILED\n");
    return ok;
}

std::string TakeBatteryNote() { return battery.TakeNote(); }

} // namespace Belcrest
