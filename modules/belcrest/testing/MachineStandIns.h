// Stand-ins for what the module supplies to the machine (PSG, FM unit,
// pads, palette, screen refresh), recording what the machine asks of them,
// and the helpers the machine's and the display processor's tests share.
#pragma once

#include "modules/belcrest/machine/Machine.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Belcrest::Test {

struct StandIns {
    uint32_t pad = 0;                           // what ReadPadState returns
    std::vector<uint8_t> psgWrites;
    std::vector<int> psgSyncs;
    int refreshes = 0;
    std::array<std::array<int, 3>, 48> palette{}; // last SetPaletteColor per entry
};
extern StandIns Hooks;

// Fresh stand-ins, default configuration words, a 32-bit renderer family
// drawing into Surface, and no console noise.
void ResetStandIns();

// The 272 x 208 frame surface the renderers draw into.
extern std::vector<uint32_t> Surface;

// An image of `pages` 16 KB pages whose page n is filled with n, with code
// placed at 0 (page 0).
std::vector<uint8_t> MakeImage(unsigned pages, const std::vector<uint8_t> &code = {});

void WriteFile(const std::filesystem::path &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> ReadFile(const std::filesystem::path &path);

// A folder of its own under the system's temporary folder (or, with
// inMemory, under /dev/shm where there is one), removed when the object goes.
struct TempFolder {
    explicit TempFolder(bool inMemory = false);
    ~TempFolder();
    std::filesystem::path operator/(const std::string &name) const { return path / name; }
    std::filesystem::path path;
};

// Starts the machine (type) on a plain image written to a temporary file.
bool StartWithImage(const TempFolder &folder, const std::vector<uint8_t> &image, uint32_t type = MachineMasterSystem,
                    const std::string &fileName = "game.sms");

} // namespace Belcrest::Test
