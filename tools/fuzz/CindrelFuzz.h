// What the 6502 console's fuzz targets share: the machine started on a file
// of the private folder with the test stand-ins around the real sound unit,
// its state as the state writer makes it, and frames that must end.
#pragma once

#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/machine/StateFile.h"
#include "modules/cindrel/testing/ModuleStandIns.h"
#include "modules/cindrel/testing/Harness.h"
#include "tools/fuzz/FuzzSupport.h"

namespace Fuzz::NesMachine {

using namespace ::Cindrel;

inline bool Start(const std::filesystem::path &image, const std::string &save = std::string())
{
    ResetStandIns();
    FrameSkip = 1;
    return Test::StartImage(image.string(), save);
}

inline std::vector<uint8_t> StateBytes()
{
    const std::filesystem::path path = PrivateFolder() / "snapshot.st";
    FUZZ_CHECK(SaveStateFile(path.string()) == 1);
    return ReadWholeFile(path);
}

inline void RunFrames(int n) { FUZZ_CHECK(Test::RunFrames(n) == n); }

} // namespace Fuzz::NesMachine
