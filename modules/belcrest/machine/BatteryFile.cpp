// The battery file: the cartridge RAM as raw 16 KB pages (one or two), read
// at start and written at shutdown through a temporary file.
#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineParts.h"

#include <cstring>

namespace Belcrest {

void LoadBatteryFile()
{
    if (BatteryFileName.empty())
        return;
    std::vector<uint8_t> bytes;
    const Zorvan::ReadResult r = Zorvan::ReadFileBounded(BatteryFileName, 2 * RomPageSize, bytes);
    if (r == Zorvan::ReadResult::Missing)
        return;
    if (VerboseFlags)
        printConsole("Found %s...reading...", BatteryFileName.c_str());
    const bool usable = r == Zorvan::ReadResult::Ok && (bytes.size() == RomPageSize || bytes.size() == 2 * RomPageSize);
    if (!usable) {
        // Anything else is not a save of ours: keep it aside rather than
        // load part of it or overwrite it at shutdown.
        if (r == Zorvan::ReadResult::Ok || r == Zorvan::ReadResult::TooLarge)
            BatteryKeptAs = Zorvan::KeepAsDamaged(BatteryFileName);
        Progress("FAILED\n");
        if (!BatteryKeptAs.empty() && VerboseFlags)
            printConsole("The battery file was kept as %s\n", BatteryKeptAs.c_str());
        return;
    }
    std::memcpy(CpuSpace.get() + 0x4000, bytes.data(), bytes.size());
    BatteryPagesLoaded = uint8_t(bytes.size() / RomPageSize);
    // The whole save is written back even when this run maps only page 1.
    CartRamPagesUsed = BatteryPagesLoaded;
    Progress("OK\n");
}

int SaveBatteryFile()
{
    if (BatteryFileName.empty() || CartRamPagesUsed == 0)
        return 1;
    if (VerboseFlags)
        printConsole("\nOpening %s...writing...", BatteryFileName.c_str());
    const bool ok = Zorvan::WriteFileReplacing(BatteryFileName, CpuSpace.get() + 0x4000,
                                               size_t(CartRamPagesUsed) * RomPageSize);
    Progress(ok ? "OK\n" : "FAILED\n");
    return ok ? 1 : 0;
}

} // namespace Belcrest
