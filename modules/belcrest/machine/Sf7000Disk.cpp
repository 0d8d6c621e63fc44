// The SF-7000's disk unit: the 160 KB disk image, the system ROM's entry
// points replaced by the trap opcode, and the trap that serves them.
#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "modules/belcrest/cpu/Z80Bus.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineParts.h"

#include <cstdio>
#include <cstring>

namespace Belcrest {

std::vector<uint8_t> DiskImage;

namespace {

constexpr size_t DiskSize = 163840; // 40 tracks of 16 sectors of 256 bytes
constexpr uint16_t PatchedEntries[] = {0x0008, 0x107C, 0x0010, 0x10F8, 0x0018, 0x0020, 0x0028, 0x0030};

// Flag bits of F.
constexpr uint8_t FlagCarry = 0x01, FlagZero = 0x40;

} // namespace

void LoadDiskImage()
{
    Progress("Allocating 160kB for SF7000 disk...");
    std::printf("OK\n");
    DiskImage.assign(DiskSize, 0xFF);
    std::vector<uint8_t> bytes;
    const Zorvan::ReadResult r = Zorvan::ReadFileBounded(DiskFileName, DiskSize, bytes);
    if (r == Zorvan::ReadResult::Missing)
        return;
    if (VerboseFlags)
        printConsole("Found %s...reading...", DiskFileName.c_str());
    if (r == Zorvan::ReadResult::Ok && bytes.size() == DiskSize) {
        DiskImage = std::move(bytes);
        std::printf("OK\n");
    } else {
        std::printf("FAILED\n");
    }
}

void PatchSystemRom()
{
    uint8_t *rom = RomPages[0].get();
    if (!rom)
        return;
    for (uint16_t a : PatchedEntries) {
        // The fourth byte keeps the 8-bit sum of the four unchanged, for the
        // ROM's own checksum.
        const unsigned sum = rom[a] + rom[a + 1] + rom[a + 2] + rom[a + 3];
        rom[a] = 0xED;
        rom[a + 1] = 0xFE;
        rom[a + 2] = 0xC9;
        rom[a + 3] = uint8_t(sum + 0x4C);
    }
}

void TrapHandler(Z80State &cpu)
{
    if (MachineType() != MachineSf7000)
        return;
    const uint16_t at = uint16_t(cpu.PC.w - 2);
    switch (at) {
    case 0x0008:
    case 0x107C:
        cpu.AF.l &= uint8_t(~FlagCarry);
        return;
    case 0x0010:
    case 0x10F8: {
        const unsigned track = cpu.BC.l, sector = cpu.BC.h;
        if (VerboseFlags & 0x80)
            printConsole("DISK: READ(TRACK %d,SECTOR %d,DEST %04Xh)\n", track, sector, cpu.DE.w);
        if (track > 39 || sector < 1 || sector > 16)
            return;
        if (DiskImage.size() == DiskSize) {
            const uint8_t *from = DiskImage.data() + track * 4096 + (sector - 1) * 256;
            for (unsigned i = 0; i < 256; ++i)
                CpuSpace[uint16_t(cpu.DE.w + i)] = from[i];
            cpu.AF.h = 0;
            cpu.AF.l = uint8_t((cpu.AF.l | FlagZero) & ~FlagCarry);
        } else {
            cpu.AF.h = 1;
            cpu.AF.l = uint8_t((cpu.AF.l | FlagCarry) & ~FlagZero);
        }
        return;
    }
    default:
        if (VerboseFlags & 0x04)
            printConsole("PATCH at address %04Xh\n", at);
        return;
    }
}

} // namespace Belcrest
