// The battery file: the cartridge RAM as raw 16 KB pages (one or two), read
// at start and written at shutdown through a temporary file, only when the
// game changed the RAM.
#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineParts.h"

#include <cstring>
#include <vector>

namespace Belcrest {

namespace {

constexpr size_t CartRamSize = 2 * RomPageSize;

// The cartridge RAM as the start left it, to tell whether the game wrote it.
std::vector<uint8_t> startRam;
// A file stood at the battery's name that was no save of ours. It stays
// where it is until the game's own save is about to replace it.
bool foreignFile;

} // namespace

void LoadBatteryFile()
{
    startRam.assign(CpuSpace.get() + 0x4000, CpuSpace.get() + 0x4000 + CartRamSize);
    foreignFile = false;
    if (BatteryFileName.empty())
        return;
    std::vector<uint8_t> bytes;
    const Zorvan::ReadResult r = Zorvan::ReadFileBounded(BatteryFileName, CartRamSize, bytes);
    if (r == Zorvan::ReadResult::Missing)
        return;
    if (VerboseFlags)
        printConsole("Found %s...reading...", BatteryFileName.c_str());
    const bool usable = r == Zorvan::ReadResult::Ok && (bytes.size() == RomPageSize || bytes.size() == CartRamSize);
    if (!usable) {
        // Not a save of ours: the game starts on clear RAM. A folder of that
        // name is left alone (no write can replace it); any file is kept
        // aside before the first write over it.
        foreignFile = r != Zorvan::ReadResult::NotAFile;
        Progress("FAILED\n");
        return;
    }
    std::memcpy(CpuSpace.get() + 0x4000, bytes.data(), bytes.size());
    std::memcpy(startRam.data(), bytes.data(), bytes.size());
    BatteryPagesLoaded = uint8_t(bytes.size() / RomPageSize);
    // The whole save is written back even when this run maps only page 1.
    CartRamPagesUsed = BatteryPagesLoaded;
    Progress("OK\n");
}

int SaveBatteryFile()
{
    if (BatteryFileName.empty() || CartRamPagesUsed == 0)
        return 1;
    const size_t size = size_t(CartRamPagesUsed) * RomPageSize;
    const uint8_t *const ram = CpuSpace.get() + 0x4000;
    // RAM the game left as it started holds nothing new: the file stays.
    if (startRam.size() >= size && std::memcmp(ram, startRam.data(), size) == 0)
        return 1;
    if (foreignFile) {
        if (!Zorvan::KeepAsDamagedBeforeReplacing(BatteryFileName, BatteryKeptAs)) {
            Progress("\nThe battery file could not be moved aside...FAILED\n");
            return 0;
        }
        foreignFile = false;
        if (!BatteryKeptAs.empty() && VerboseFlags)
            printConsole("\nThe battery file was kept as %s", BatteryKeptAs.c_str());
    }
    if (VerboseFlags)
        printConsole("\nOpening %s...writing...", BatteryFileName.c_str());
    const bool ok = Zorvan::WriteFileReplacing(BatteryFileName, ram, size);
    if (ok)
        std::memcpy(startRam.data(), ram, size);
    Progress(ok ? "OK\n" : "FAILED\n");
    return ok ? 1 : 0;
}

} // namespace Belcrest
