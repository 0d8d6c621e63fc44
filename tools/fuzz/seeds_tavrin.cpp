// Seeds of the handheld's targets: the public test programs and the
// benchmark image (plain, gzip, zip), states and battery files the machine
// writes after short runs of them, and the device records as their writers
// make them in the middle of a game's traffic.
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/cart/Eeprom.h"
#include "modules/tavrin/cart/Flash.h"
#include "modules/tavrin/cart/Rtc.h"
#include "modules/tavrin/files/GzipImage.h"
#include "modules/tavrin/testing/ArmAsm.h"
#include "tools/fuzz/Seeds.h"
#include "tools/fuzz/TavrinFuzz.h"

#include <cstdlib>

namespace FuzzSeeds {

namespace {

using namespace Fuzz::Handheld;

// The options the seeds run under: the guess on, no header check.
constexpr uint8_t Guess = 1;

Bytes Gz(const Bytes &raw)
{
    Bytes gz;
    FUZZ_CHECK(GzipBytes(raw, gz));
    return gz;
}

Bytes Inflated(const Bytes &gz)
{
    Bytes raw;
    FUZZ_CHECK(GunzipBounded(gz, size_t(1) << 24, raw) == GunzipResult::Ok);
    return raw;
}

Bytes WithChoice(uint8_t choice, const Bytes &file)
{
    Bytes seed = {choice};
    seed.insert(seed.end(), file.begin(), file.end());
    return seed;
}

// The public programs and the benchmark image (written by its own program,
// built beside this one), or the spinning image when neither is there.
std::vector<std::pair<std::string, Bytes>> Programs()
{
    auto programs = PublicPrograms("gba", ".gba");
    const std::filesystem::path bench = Fuzz::PrivateFolder() / "bench.gba";
    const std::string maker = (std::filesystem::path(ProgramFolder()) / "make_bench_image").string();
    if (std::filesystem::exists(maker) && std::system((maker + " " + bench.string()).c_str()) == 0)
        programs.emplace_back("bench.gba", Fuzz::ReadWholeFile(bench));
    if (programs.empty())
        programs.emplace_back("spin.gba", SpinningImage());
    return programs;
}

// Once found by the fuzzer: a game whose BgAffineSet record has a centre
// at the ends of the range, which the call's sums ran past.
Bytes AffineAtTheEnds()
{
    using namespace Tavrin::Test::Asm;
    const uint32_t code[] = {
        DpImm(ADD, false, 0, 15, 0x100 - 8), // r0: the record at 0x08000100
        DpImm(MOV, false, 1, 0, 0x02, 4),    // r1: 0x02000000
        DpImm(MOV, false, 2, 0, 1),          // r2: one record
        0xEF0E0000,                          // SWI BgAffineSet
        SpinArm,
    };
    Bytes image = SpinningImage();
    for (size_t i = 0; i < std::size(code); ++i)
        for (int b = 0; b < 4; ++b)
            image[4 * i + size_t(b)] = uint8_t(code[i] >> (8 * b));
    const uint8_t record[20] = {0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80, 0xFF, 0x7F, 0xFF, 0x7F};
    std::copy(std::begin(record), std::end(record), image.begin() + 0x100);
    return image;
}

std::vector<Bytes> ImageSeeds()
{
    std::vector<Bytes> seeds = {WithChoice(Guess, AffineAtTheEnds())};
    for (const auto &[name, image] : Programs()) {
        seeds.push_back(WithChoice(Guess, image));
        if (seeds.size() <= 3) {
            seeds.push_back(WithChoice(Guess | 8, Gz(image)));
            seeds.push_back(WithChoice(Guess, Zipped({{"readme.txt", Bytes(5, 'r')}, {name, image}})));
        }
    }
    return seeds;
}

// A few frames of each program, saved; every fourth program also with the
// larger save memories.
std::vector<Bytes> StateSeeds()
{
    std::vector<Bytes> seeds;
    int n = 0;
    for (const auto &[name, image] : Programs()) {
        for (uint8_t choice : {uint8_t(0), uint8_t(6)}) {
            if (choice && n % 4)
                continue;
            FUZZ_CHECK(Start(Fuzz::WriteInputFile("seed.gba", image), choice));
            RunFrames(10);
            seeds.push_back(Fuzz::JoinMachineInput(choice, image, StateImage()));
            Harness().Stop();
        }
        ++n;
    }
    return seeds;
}

// Each size of save memory as the shutdown writes it, after a run of a
// program that uses it where there is one, else after stores of our own.
std::vector<Bytes> BatterySeeds()
{
    std::vector<Bytes> seeds;
    const std::filesystem::path save = Fuzz::PrivateFolder() / "seed.sav";
    for (uint8_t choice : {0, 2, 4, 6}) {
        std::filesystem::remove(save);
        FUZZ_CHECK(Start(Fuzz::WriteInputFile("seed.gba", SpinningImage()), choice, save.string()));
        for (uint32_t i = 0; i < 300; ++i) {
            SaveRam[i * 97 % SaveRamSize()] = uint8_t(i);
            EepromRam[i * 13 % (choice & 4 ? EepromArraySize : 512)] = uint8_t(i * 3);
        }
        Harness().Stop();
        const Bytes file = Fuzz::ReadWholeFile(save);
        seeds.push_back(WithChoice(choice, Inflated(file)));
        if (choice == 2)
            seeds.push_back(WithChoice(0x80 | choice, file));
    }
    for (const auto &[name, image] : PublicPrograms("gba", ".gba")) {
        if (name.find("save") == std::string::npos)
            continue;
        std::filesystem::remove(save);
        FUZZ_CHECK(Start(Fuzz::WriteInputFile("seed.gba", image), Guess, save.string()));
        RunFrames(30);
        const uint8_t choice = uint8_t((FlashSizeExp == 17 ? 2 : 0) | (EepromSizeExp == 14 ? 4 : 0));
        Harness().Stop();
        if (std::filesystem::exists(save))
            seeds.push_back(WithChoice(choice, Inflated(Fuzz::ReadWholeFile(save))));
    }
    return seeds;
}

// Each record part-way through what a game does with its device, then a
// little more traffic for the target to replay.
std::vector<Bytes> RecordSeeds()
{
    std::vector<Bytes> seeds;
    FUZZ_CHECK(Start(Fuzz::WriteInputFile("seed.gba", SpinningImage()), 6));
    const auto flashCommand = [](uint8_t code) {
        BusWrite8(0x0E005555, 0xAA);
        BusWrite8(0x0E002AAA, 0x55);
        BusWrite8(0x0E005555, code);
    };
    // Bank 1 selected, then ID mode; the traffic leaves it and programs a byte.
    flashCommand(0xB0);
    BusWrite8(0x0E000000, 1);
    flashCommand(0x90);
    Bytes flash = WithChoice(6, Fuzz::ImageOf(FlashState, FlashWriteImage));
    for (auto [offset, value] : {std::pair{0x5555, 0xAA}, {0x2AAA, 0x55}, {0x5555, 0xF0}, {0x5555, 0xAA},
                                 {0x2AAA, 0x55}, {0x5555, 0xA0}, {0x0123, 0x5A}}) {
        flash.push_back(uint8_t(offset));
        flash.push_back(uint8_t(offset >> 8));
        flash.push_back(uint8_t(value));
    }
    seeds.push_back(flash);

    // A 14-bit read request half sent; the traffic finishes it and reads.
    MachineReset();
    for (int bit : {1, 1, 0, 0, 0, 0, 0, 0})
        EepromWriteBit(uint32_t(bit));
    Bytes eeprom = WithChoice(6 | 0x08, Fuzz::ImageOf(EepromState, EepromWriteImage));
    for (int i = 0; i < 9; ++i)
        eeprom.push_back(0);
    for (int i = 0; i < 68; ++i)
        eeprom.push_back(0x40);
    seeds.push_back(eeprom);

    // The clock's port enabled and a date-and-time command begun.
    MachineReset();
    RtcWrite(0x080000C8, 1);
    RtcWrite(0x080000C6, 7);
    RtcWrite(0x080000C4, 1);
    RtcWrite(0x080000C4, 5);
    Bytes rtc = WithChoice(6 | 0x10, Fuzz::ImageOf(RtcState, RtcWriteImage));
    for (int bit : {0, 1, 1, 0, 0, 1, 0, 1})
        for (int clock : {0, 1})
            rtc.push_back(uint8_t(4 | bit << 1 | clock));
    seeds.push_back(rtc);
    // Once found by the fuzzer: a command under way with no bit to come,
    // which the next clock carried past its length.
    RtcRecord ended = RtcState;
    ended.bitCount = ended.bitTotal;
    Bytes carried = WithChoice(6 | 0x10, Fuzz::ImageOf(ended, RtcWriteImage));
    carried.insert(carried.end(), {4, 5, 4, 5});
    seeds.push_back(carried);
    Harness().Stop();
    return seeds;
}

} // namespace

void AddHandheldSeeds(SeedTable &table)
{
    table.emplace_back("tavrin_image", ImageSeeds);
    table.emplace_back("tavrin_state", StateSeeds);
    table.emplace_back("tavrin_battery", BatterySeeds);
    table.emplace_back("tavrin_records", RecordSeeds);
}

} // namespace FuzzSeeds
