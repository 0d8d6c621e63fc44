#include "modules/cindrel/machine/BatteryFile.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "modules/cindrel/machine/Machine.h"

#include <cstring>
#include <vector>

namespace Cindrel {

namespace {

size_t RamSize() { return size_t(Cartridge.ramPages) * 0x2000; }

} // namespace

bool LoadBatteryFile(const std::string &name)
{
    printConsole("Opening %s...", name.c_str());
    std::vector<uint8_t> bytes;
    const Zorvan::ReadResult result = Zorvan::ReadFileBounded(name, RamSize(), bytes);
    bool whole = false;
    if (result == Zorvan::ReadResult::Ok || result == Zorvan::ReadResult::TooLarge) {
        printConsole("loading...");
        std::memcpy(CpuSpace + 0x6000, bytes.data(), bytes.size());
        whole = bytes.size() == RamSize();
    }
    printConsole("%s\n", whole ? "OK" : "FAILED");
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
