// Seeds of the 6502 console's targets: the public test programs (a few of
// each folder, every board of the mapper test) and the benchmark image,
// plain, zipped and built with each header form; states after short runs
// of them and of a board for every mapper the machine knows; battery files
// of each work-RAM size; and palette files.
#include "modules/cindrel/machine/BatteryFile.h"
#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/cindrel/testing/CartridgeBuilder.h"
#include "tools/fuzz/CindrelFuzz.h"
#include "tools/fuzz/Seeds.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace FuzzSeeds {

namespace {

using namespace Fuzz::NesMachine;
using Test::CartridgeBuilder;

// A spinning program at $C000 with its vectors.
CartridgeBuilder Spinning(int romPages = 2, int vromPages = 1)
{
    CartridgeBuilder cart(romPages, vromPages);
    cart.Code(0xC000, {0xA9, 0x1E, 0x8D, 0x01, 0x20, 0x4C, 0x05, 0xC0}).Vectors(0xC000, 0xC000, 0xC000);
    return cart;
}

// Up to three programs of each folder, and every board of the mapper test;
// the benchmark image (its own program, built beside this one); a built
// one when there is nothing else.
std::vector<std::pair<std::string, Bytes>> Programs()
{
    std::vector<std::pair<std::string, Bytes>> chosen;
    std::map<std::string, int> perFolder;
    for (auto &[name, image] : PublicPrograms("nes", ".nes", size_t(1) << 19)) {
        const std::string prefix = name.substr(0, name.find_first_of("_-."));
        if (name[0] == 'M' || perFolder[prefix]++ < 1)
            chosen.emplace_back(name, image);
    }
    const std::filesystem::path bench = Fuzz::PrivateFolder() / "bench.nes";
    const std::string maker = (std::filesystem::path(ProgramFolder()) / "cindrel_bench_image").string();
    if (std::filesystem::exists(maker) && std::system((maker + " " + bench.string() + " >/dev/null").c_str()) == 0)
        chosen.emplace_back("bench.nes", Fuzz::ReadWholeFile(bench));
    if (chosen.empty())
        chosen.emplace_back("spin.nes", Spinning().Bytes());
    return chosen;
}

std::vector<Bytes> ImageSeeds()
{
    std::vector<Bytes> seeds;
    for (const auto &[name, image] : Programs())
        if (image.size() <= 0x10010 || seeds.size() < 4)
            seeds.push_back(image);
    seeds.push_back(Zipped({{"notes.txt", Bytes(7, 'n')}, {"game.nes", Spinning().Bytes()}}));
    seeds.push_back(Spinning().Trainer(Bytes(512, 0x60)).Battery().RamPages(2).Bytes());
    seeds.push_back(Spinning(4, 2).Mapper(4).Nes2(0, 0x77, 0x07).Bytes());
    seeds.push_back(Spinning(2, 0).Mapper(2).Nes2(2, 0x00, 0x09).Pal().Vertical().Bytes());
    return seeds;
}

// A short run of the programs, and of a board of each mapper with a row
// (their register bytes as the mapper writes them), saved.
std::vector<Bytes> StateSeeds()
{
    std::vector<std::pair<std::string, Bytes>> images;
    for (const auto &[name, image] : Programs())
        if (image.size() <= 0x40010)
            images.emplace_back(name, image);
    for (int mapper = 1; mapper < 256; ++mapper)
        if (MapperTable[size_t(mapper)].init)
            images.emplace_back("mapper.nes", Spinning(8, 8).Mapper(mapper).Battery().Bytes());
    std::vector<Bytes> seeds;
    for (const auto &[name, image] : images) {
        const Bytes zipped = Zipped({{name, image}});
        if (!Start(Fuzz::WriteInputFile("seed.zip", zipped)))
            continue;
        RunFrames(12);
        seeds.push_back(Fuzz::JoinMachineInput(0, zipped, StateBytes()));
        MachineShutdown();
    }
    return seeds;
}

// The shutdown's file for each work-RAM size after a run that wrote the RAM;
// and one behind a 16-byte header, as other programs keep them.
std::vector<Bytes> BatterySeeds()
{
    std::vector<Bytes> seeds;
    const std::filesystem::path save = Fuzz::PrivateFolder() / "seed.sav";
    for (uint8_t pages = 1; pages <= 4; ++pages) {
        std::filesystem::remove(save);
        // STA $6000,X; INX; BNE; JMP.
        CartridgeBuilder cart = Spinning();
        cart.Mapper(1).Battery().RamPages(pages).Code(0xC000, {0x8A, 0x9D, 0x00, 0x60, 0xE8, 0xD0, 0xF9, 0x4C, 0x07, 0xC0});
        FUZZ_CHECK(Start(Fuzz::WriteInputFile("seed.nes", cart.Bytes()), save.string()));
        RunFrames(2);
        MachineShutdown();
        // Choice: the RAM pages, and every other one a game that writes.
        Bytes seed = {uint8_t((pages - 1) | (pages % 2 ? 0 : 4))};
        const Bytes file = Fuzz::ReadWholeFile(save);
        seed.insert(seed.end(), file.begin(), file.end());
        seeds.push_back(seed);
        if (pages == 1) {
            Bytes headed = {4};
            headed.resize(17, 0);
            headed.insert(headed.end(), file.begin(), file.end());
            seeds.push_back(headed);
        }
    }
    return seeds;
}

// The built-in palette as text, whole and in part, and a line that stops
// the reading.
std::vector<Bytes> PaletteSeeds()
{
    FUZZ_CHECK(Start(Fuzz::WriteInputFile("seed.nes", Spinning().Bytes())));
    std::string text;
    for (int i = 0; i < 64; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "%02X %02X %02X\n", Palette[i][0], Palette[i][1], Palette[i][2]);
        text += line;
    }
    MachineShutdown();
    const std::string part = text.substr(0, 9 * 10) + "not a colour\n" + text.substr(9 * 10, 9 * 5);
    return {Bytes(text.begin(), text.end()), Bytes(part.begin(), part.end())};
}

} // namespace

void Add6502Seeds(SeedTable &table)
{
    table.emplace_back("cindrel_image", ImageSeeds);
    table.emplace_back("cindrel_state", StateSeeds);
    table.emplace_back("cindrel_battery", BatterySeeds);
    table.emplace_back("cindrel_palette", PaletteSeeds);
}

} // namespace FuzzSeeds
