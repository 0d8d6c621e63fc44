#include "modules/belcrest/testing/MachineStandIns.h"

#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/vdp/Vdp.h"

#include <fstream>
#include <iterator>
#include <random>

namespace Belcrest {

void PsgReset(int) {}
void PsgWrite(uint8_t value) { Test::Hooks.psgWrites.push_back(value); }
void PsgSync(int mode) { Test::Hooks.psgSyncs.push_back(mode); }
void FmReset(int) {}
void FmSelectRegister(uint8_t) {}
void FmWriteData(uint8_t) {}
void FmSync(int) {}
uint32_t ReadPadState() { return Test::Hooks.pad; }
void RefreshScreen() { ++Test::Hooks.refreshes; }

// As the video does on a 32-bit surface (and the other depths alongside, so
// a test can switch families without setting the palette again).
void SetPaletteColor(int index, int r, int g, int b)
{
    if (index < 0 || index >= VdpColourCount)
        return;
    Test::Hooks.palette[size_t(index)] = {r, g, b};
    VdpColorTable.c32[index] = uint32_t(r << 16 | g << 8 | b);
    VdpColorTable.c16[index] = uint16_t((r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3);
    VdpColorTable.c8[index] = uint8_t(index);
}

namespace Test {

StandIns Hooks;
std::vector<uint32_t> Surface;

void ResetStandIns()
{
    Hooks = StandIns{};
    MachineWord = MachineMasterSystem;
    VerboseFlags = 0;
    FrameSkip = 1;
    FrameSkipCounter = 0;
    FramePeriod = 65232;
    LinePeriod = 216;
    BatteryFileName.clear();
    Surface.assign(size_t(VdpSurfaceWidth) * VdpSurfaceHeight, 0);
    VdpFrameBuffer = Surface.data();
    VdpInstallRenderers(32);
}

std::vector<uint8_t> MakeImage(unsigned pages, const std::vector<uint8_t> &code)
{
    std::vector<uint8_t> image(size_t(pages) * RomPageSize);
    for (unsigned p = 0; p < pages; ++p)
        std::fill(image.begin() + p * RomPageSize, image.begin() + (p + 1) * RomPageSize, uint8_t(p));
    std::copy(code.begin(), code.end(), image.begin());
    return image;
}

void WriteFile(const std::filesystem::path &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TempFolder::TempFolder(bool inMemory)
{
    std::random_device random;
    std::error_code error;
    const bool shm = inMemory && std::filesystem::is_directory("/dev/shm", error);
    const std::filesystem::path base = shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    path = base / ("belcrest-machine-" + std::to_string(random()));
    std::filesystem::create_directories(path);
}

TempFolder::~TempFolder()
{
    std::error_code error;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, error);
    std::filesystem::remove_all(path, error);
}

bool StartWithImage(const TempFolder &folder, const std::vector<uint8_t> &image, uint32_t type,
                    const std::string &fileName)
{
    const auto path = folder / fileName;
    WriteFile(path, image);
    MachineWord = type;
    return MachineStart(path.string()) == 1;
}

} // namespace Test
} // namespace Belcrest
