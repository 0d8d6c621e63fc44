// The SF-7000's disk image, read at start beside the system ROM. Only an
// image of exactly 40 tracks of 16 sectors is taken; then a program in the
// ROM reads a sector through the patched entry point and finds the image's
// bytes. Any other file leaves a blank disk (every byte 0xFF).
#include "tools/fuzz/BelcrestFuzz.h"

#include <algorithm>
#include <cstring>

using namespace Fuzz::Z80Machine;

namespace {

constexpr size_t DiskSize = 163840;

// JP $0100; at $0100: LD SP,$FFF0; LD BC,$0301 (track 1, sector 3);
// LD DE,$C000; CALL $0010; DI; HALT.
std::vector<uint8_t> SystemRom()
{
    std::vector<uint8_t> rom(RomPageSize, 0);
    const uint8_t start[] = {0xC3, 0x00, 0x01};
    const uint8_t code[] = {0x31, 0xF0, 0xFF, 0x01, 0x01, 0x03, 0x11, 0x00, 0xC0, 0xCD, 0x10, 0x00, 0xF3, 0x76};
    std::copy(std::begin(start), std::end(start), rom.begin());
    std::copy(std::begin(code), std::end(code), rom.begin() + 0x100);
    return rom;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<uint8_t> rom = SystemRom();
    Fuzz::WriteInputFile("SF7000.ROM", rom);
    const std::filesystem::path disk = Fuzz::WriteInputFile("work.sf", data, size);
    FUZZ_CHECK(Start(disk, MachineSf7000));
    const bool taken = size == DiskSize;
    FUZZ_CHECK(DiskImage.size() == DiskSize);
    FUZZ_CHECK(taken ? std::memcmp(DiskImage.data(), data, size) == 0
                     : std::all_of(DiskImage.begin(), DiskImage.end(), [](uint8_t b) { return b == 0xFF; }));
    RunFrames(2);
    const uint8_t *sector = DiskImage.data() + 1 * 4096 + 2 * 256;
    FUZZ_CHECK(std::memcmp(CpuSpace.get() + 0xC000, sector, 256) == 0);
    MachineShutdown();
    return 0;
}
