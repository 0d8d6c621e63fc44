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

} // namespace

bool LoadBatteryFile(const std::string &name)
{
    BatteryKeptAs.clear();
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
        // The shutdown replaces the file with the RAM alone: anything but
        // a save of ours is kept aside first, as it was.
        if (!whole)
            BatteryKeptAs = Zorvan::KeepAsDamaged(name);
    }
    printConsole("%s\n", whole ? "OK" : "FAILED");
    if (!BatteryKeptAs.empty())
        printConsole("  The battery file was kept as %s\n", BatteryKeptAs.c_str());
    return whole;
}

bool SaveBatteryFile(const std::string &name)
{
    printConsole("\nOpening %s...", name.c_str());
    printConsole("writing...");
    const bool ok = Zorvan::WriteFileReplacing(name, CpuSpace + 0x6000, RamSize());
    printConsole("%s\n", ok ? "OK" : "FAILED");
    return ok;
}

} // namespace Cindrel
