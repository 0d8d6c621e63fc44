#include "modules/cindrel/machine/BatteryFile.h"

#include "common/zorvan/Console.h"
#include "modules/cindrel/machine/Machine.h"
#include "modules/common/BatteryFile.h"

#include <algorithm>
#include <vector>

namespace Cindrel {

namespace {

// Other programs write the RAM behind a header of this size.
constexpr size_t ForeignHeaderSize = 16;

ConsoleFiles::BatteryFile battery;

bool Judge(const std::vector<uint8_t> &file, std::vector<uint8_t> &ram)
{
    if (file.size() != ram.size() && file.size() != ram.size() + ForeignHeaderSize)
        return false;
    std::copy(file.end() - std::ptrdiff_t(ram.size()), file.end(), ram.begin());
    return true;
}

ConsoleFiles::BatteryRule rule{0, Judge, nullptr};

uint8_t *Ram() { return CpuSpace + 0x6000; }
size_t RamSize() { return size_t(Cartridge.ramPages) * 0x2000; }

} // namespace

bool LoadBatteryFile(const std::string &name)
{
    printConsole("Opening %s...", name.c_str());
    rule.largestFile = RamSize() + ForeignHeaderSize;
    std::vector<uint8_t> image(Ram(), Ram() + RamSize());
    const bool loaded = battery.Load(name, rule, image);
    std::copy(image.begin(), image.end(), Ram());
    printConsole("%s\n", loaded ? "OK" : "FAILED");
    return loaded;
}

bool SaveBatteryFile(const std::string &name)
{
    printConsole("\nOpening %s...writing...", name.c_str());
    const bool ok = battery.Save(std::vector<uint8_t>(Ram(), Ram() + RamSize()));
    printConsole("%s\n", ok ? "OK" : "FAILED");
    return ok;
}

std::string TakeBatteryNote() { return battery.TakeNote(); }

} // namespace Cindrel
