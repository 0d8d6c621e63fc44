// What the Z80 consoles' fuzz targets share: the machine started on a file
// of the private folder with the test stand-ins for the module, its state
// as the state writer makes it, and frames that must end.
#pragma once

#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineParts.h"
#include "modules/belcrest/testing/MachineStandIns.h"
#include "tools/fuzz/FuzzSupport.h"

namespace Fuzz::Z80Machine {

using namespace ::Belcrest;

// The machine types a choice byte picks (its low two bits).
inline uint32_t TypeOf(uint8_t choice)
{
    static const uint32_t types[4] = {MachineMasterSystem, MachineGameGear, MachineSg1000, MachineSc3000};
    return types[choice & 3];
}

inline bool Start(const std::filesystem::path &image, uint32_t type, const std::string &battery = std::string())
{
    Test::ResetStandIns();
    MachineWord = type;
    BatteryFileName = battery;
    return MachineStart(image.string()) == 1;
}

// The running machine as its state file holds it.
inline std::vector<uint8_t> StateBytes()
{
    const std::filesystem::path path = PrivateFolder() / "snapshot.sta";
    FUZZ_CHECK(SaveStateFile(path.string()) == 1);
    return ReadWholeFile(path);
}

// Frames end (a run that never reaches its line step is a timeout) and
// never ask to quit.
inline void RunFrames(int n)
{
    for (int i = 0; i < n; ++i)
        FUZZ_CHECK(MachineRunFrame());
}

} // namespace Fuzz::Z80Machine
