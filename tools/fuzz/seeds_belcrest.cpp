// Seeds of the Z80 consoles' targets: the public Master System programs
// (plain, zipped, behind a copier's header) and states, battery and disk
// files the machine writes after a short run of them.
#include "tools/fuzz/BelcrestFuzz.h"
#include "tools/fuzz/Seeds.h"

namespace FuzzSeeds {

namespace {

using namespace Fuzz::Z80Machine;

// The programs, or when they are absent one made here that draws and
// writes the cartridge RAM: enough for every seed kind.
std::vector<std::pair<std::string, Bytes>> Programs()
{
    auto programs = PublicPrograms("sms", ".sms");
    if (programs.empty()) {
        // DI; LD A,$08; LD ($FFFC),A; LD ($8000),A; IM 1; EI; HALT; JR -3.
        Bytes rom(2 * RomPageSize, 0xFF);
        const uint8_t code[] = {0xF3, 0x3E, 0x08, 0x32, 0xFC, 0xFF, 0x32, 0x00, 0x80, 0xED, 0x56, 0xFB, 0x76, 0x18, 0xFD};
        std::copy(std::begin(code), std::end(code), rom.begin());
        programs.emplace_back("made.sms", rom);
    }
    return programs;
}

std::vector<Bytes> ImageSeeds()
{
    std::vector<Bytes> seeds;
    for (const auto &[name, image] : Programs()) {
        // The used part only (their last pages are blank), so the fuzzer's
        // inputs stay small; and the whole, zipped.
        Bytes head(image.begin(), image.begin() + std::min<size_t>(image.size(), 0x8000));
        // The choice byte (a Master System) first.
        Bytes plain = {0};
        plain.insert(plain.end(), head.begin(), head.end());
        seeds.push_back(plain);
        Bytes withHeader(1 + 512, 0);
        withHeader.insert(withHeader.end(), head.begin(), head.end());
        seeds.push_back(withHeader);
        Bytes zipped = Zipped({{"readme.txt", Bytes(10, 'r')}, {name, image}});
        zipped.insert(zipped.begin(), 1, 0);
        seeds.push_back(zipped);
    }
    // An image of one half page, for each other machine.
    for (uint8_t choice : {1, 2, 3}) {
        Bytes half(1 + RomPageSize / 2, 0x18);
        half[0] = choice;
        seeds.push_back(half);
    }
    return seeds;
}

// Short runs of each program, saved.
std::vector<Bytes> StateSeeds()
{
    std::vector<Bytes> seeds;
    for (const auto &[name, image] : Programs()) {
        const Bytes zipped = Zipped({{name, image}});
        FUZZ_CHECK(Start(Fuzz::WriteInputFile("seed.zip", zipped), MachineMasterSystem));
        for (int frames : {3, 30}) {
            RunFrames(frames);
            seeds.push_back(Fuzz::JoinMachineInput(0, zipped, StateBytes()));
        }
        MachineShutdown();
    }
    return seeds;
}

std::vector<Bytes> BatterySeeds()
{
    std::vector<Bytes> seeds;
    const auto programs = Programs();
    const Bytes &image = programs.front().second;
    for (unsigned pages : {1u, 2u}) {
        const std::filesystem::path save = Fuzz::PrivateFolder() / "seed.sav";
        std::filesystem::remove(save);
        FUZZ_CHECK(Start(Fuzz::WriteInputFile("seed.sms", image), MachineMasterSystem, save.string()));
        RunFrames(5);
        CartRamPagesUsed = uint8_t(pages);
        for (size_t i = 0; i < pages * RomPageSize; i += 97)
            CpuSpace[0x4000 + i] = uint8_t(i >> 7);
        FUZZ_CHECK(MachineShutdown());
        Bytes seed = {uint8_t(pages - 1)};
        const Bytes file = Fuzz::ReadWholeFile(save);
        seed.insert(seed.end(), file.begin(), file.end());
        seeds.push_back(seed);
    }
    return seeds;
}

std::vector<Bytes> DiskSeeds()
{
    Bytes disk(163840, 0xE5);
    for (size_t sector = 0; sector < disk.size() / 256; ++sector)
        std::fill_n(disk.begin() + sector * 256, 16, uint8_t(sector));
    return {disk, Bytes(disk.begin(), disk.begin() + 4096)};
}

} // namespace

void AddZ80Seeds(SeedTable &table)
{
    table.emplace_back("belcrest_image", ImageSeeds);
    table.emplace_back("belcrest_state", StateSeeds);
    table.emplace_back("belcrest_battery", BatterySeeds);
    table.emplace_back("belcrest_disk", DiskSeeds);
}

} // namespace FuzzSeeds
