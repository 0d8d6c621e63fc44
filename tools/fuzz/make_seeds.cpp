// fuzz_seeds <folder>: writes the seed corpus of every fuzz target into
// <folder>/<target>/, each seed made by the project's own writer of that
// kind of data (never a copied file). Seeds already there are rewritten.
// The consoles' seeds come from short runs of the public test programs
// (where they are found) and of the benchmark images (seeds_*.cpp).
#include "common/zorvan/SafeFile.h"
#include "common/zorvan/Utf8.h"
#include "modules/belcrest/chips/Ppi.h"
#include "modules/belcrest/chips/SerialEeprom.h"
#include "modules/belcrest/cpu/Z80Cpu.h"
#include "modules/cindrel/cpu/Cpu6502.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "platform/keystore/KeyStoreFormat.h"
#include "tools/fuzz/FuzzSupport.h"
#include "tools/fuzz/Seeds.h"
#include "tools/testsupport/TestRoms.h"
#include "tools/testsupport/TestZip.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace FuzzSeeds {

std::vector<std::pair<std::string, Bytes>> PublicPrograms(const std::string &folder, const std::string &extension,
                                                         size_t largest)
{
    std::vector<std::pair<std::string, Bytes>> programs;
    const std::string root = QuintarTest::TestRomFolder();
    std::error_code error;
    if (root.empty() || !fs::is_directory(fs::path(root) / folder, error))
        return programs;
    for (const auto &entry : fs::recursive_directory_iterator(fs::path(root) / folder, error)) {
        const fs::path &path = entry.path();
        Bytes bytes;
        if (path.extension() == extension &&
            Zorvan::ReadFileBounded(path.string(), largest, bytes) == Zorvan::ReadResult::Ok)
            programs.emplace_back(path.filename().string(), bytes);
    }
    std::sort(programs.begin(), programs.end());
    return programs;
}

std::string ProgramFolder()
{
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error).parent_path().string();
}

Bytes Zipped(const std::vector<std::pair<std::string, Bytes>> &members)
{
    const fs::path file = Fuzz::PrivateFolder() / "seed.zip";
    std::vector<std::pair<std::string, std::string>> texts;
    for (const auto &[name, bytes] : members)
        texts.emplace_back(name, std::string(bytes.begin(), bytes.end()));
    fs::remove(file);
    WriteZip(file, texts);
    return Fuzz::ReadWholeFile(file);
}

} // namespace FuzzSeeds

namespace {

using FuzzSeeds::Bytes;

Bytes Text(const std::string &s) { return Bytes(s.begin(), s.end()); }

Bytes Joined(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Bytes> SeedsKeyStore()
{
    using namespace Platform;
    KeyNode root;
    KeyNode *quintar = root.FindOrCreate({"Software", "Quintar"}, nullptr);
    quintar->values["Volume"] = {ValueType::DWord, {80, 0, 0, 0}};
    quintar->values["SaveRoot"] = {ValueType::String, Text("/home/player/saves")};
    quintar->values["Keys"] = {ValueType::Binary, {1, 2, 3, 0, 255}};
    root.FindOrCreate({"Software", "Quintar", "Cindrel"}, nullptr)->values["PadSkin"] = {ValueType::String,
                                                                                        Text("Quintar Default")};
    return {EncodeKeyStore(KeyNode{}), EncodeKeyStore(root)};
}

std::vector<Bytes> SeedsPadSkin()
{
    return {Text("Quintar.Skin.1\r\n// made for the fuzzer\r\nBitmap=pad.bmp\r\nName=Round Pad\r\nType=All\r\n"
                 "Author=Quintar\r\nLandscape=1\r\n0xFF0000 n+e\r\n0x00FF00 start\r\n0x0000FF a+b+select\r\n"),
            Text("Ferrowin.Skin.1\nBitmap=sub/pad.bmp\nName=Old\n0x123456 sw\n"),
            // A NUL inside a bitmap name once let ".." through.
            Text(std::string("Quintar.Skin.1\nBitmap=..\0/pad.bmp\n", 34))};
}

std::vector<Bytes> SeedsZip()
{
    return {FuzzSeeds::Zipped({{"readme.txt", Text("hello")}, {"game.nes", Bytes(300, 'x')}}),
            FuzzSeeds::Zipped({{std::string(40, 'n') + ".sms", Text("rom")}, {"", Text("nameless")}, {"b.gg", {}}})};
}

std::vector<Bytes> SeedsUtf8()
{
    std::vector<Bytes> seeds;
    const std::wstring texts[] = {L"Software/Quintar", L"Gr\u00fc\u00dfe \u65e5\u672c \U0001F3AE",
                                  std::wstring(L"old\xDCE9name")};
    for (const std::wstring &t : texts) {
        std::string bytes(Zorvan::utf8EncodedLength(t.data(), t.size()), '\0');
        Zorvan::utf8Encode(t.data(), t.size(), bytes.data());
        seeds.push_back(Text(bytes));
    }
    return seeds;
}

std::vector<Bytes> SeedsFormat()
{
    // Pieces of the target's own format generator: kinds, flags, widths,
    // conversions and arguments.
    return {Bytes{0, 3, 'a', 'b', 'c', 0xC1, 12, 5, 0, 4, 'x', 'y', 'z', 'w', 1, 2, 3, 4, 5, 6, 7, 8},
            Bytes{1, 4, 0, 'H', 'i', 1, 6, 16, 3, 1, 2, 3, 4, 3, 'a', 'b', 'c', 3, 'd', 'e', 'f', 7, 0, 0, 0},
            Bytes{0, 0, 0x20, 30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
}

std::vector<Bytes> SeedsCpu6502()
{
    using namespace Cindrel;
    Cpu6502State cpu;
    cpu.P = FlagR | FlagI;
    cpu.S = 0xFD;
    cpu.PC = 0x0000;
    cpu.linePeriod = 114;
    cpu.cyclesLeft = 114;
    cpu.autoClear = 1;
    const Bytes plain = Fuzz::ImageOf(cpu, Cpu6502WriteImage);
    // An IRQ pending and a handler that starts with CLI.
    cpu.pendingInterrupt = IntIrq;
    const Bytes irq = Fuzz::ImageOf(cpu, Cpu6502WriteImage);
    // The first byte is the target's interrupt pattern.
    const Bytes program = {0x00, 0x58, 0xEA, 0xE8, 0xD0, 0xFC, 0x4C, 0x00, 0x00};
    return {Joined(plain, program), Joined(irq, program)};
}

std::vector<Bytes> SeedsZ80()
{
    using namespace Belcrest;
    Z80State cpu{};
    cpu.linePeriod = 228;
    cpu.cyclesLeft = 228;
    cpu.SP.w = 0xDFF0;
    cpu.IFF = Z80Iff1 | Z80Iff2 | Z80IffIm1;
    cpu.pendingInterrupt = Z80VectorNone;
    const Bytes running = Fuzz::ImageOf(cpu, Z80WriteImage);
    cpu.pendingInterrupt = 0xFF;
    cpu.IFF = Z80IffIm1;
    const Bytes pending = Fuzz::ImageOf(cpu, Z80WriteImage);
    const Bytes program = {0x00, 0xFB, 0x00, 0x3C, 0x18, 0xFC, 0xED, 0x45, 0x76};
    return {Joined(running, program), Joined(pending, program)};
}

std::vector<Bytes> SeedsArm()
{
    using namespace Tavrin;
    ArmState cpu{};
    cpu.sliceLength = 960;
    ArmReset(&cpu, 0);
    cpu.cpsr = ModeSystem;
    cpu.r[13] = 0x03007F00;
    cpu.r13Irq = 0x03007FA0;
    cpu.r[15] = 0x08000000;
    const Bytes arm = Fuzz::ImageOf(cpu, ArmWriteImage);
    cpu.cpsr = ModeSystem | FlagT;
    cpu.earlyExit = 1;
    cpu.savedCycles = 100;
    cpu.cyclesLeft = 0;
    const Bytes thumb = Fuzz::ImageOf(cpu, ArmWriteImage);
    // ARM: MOV r0,#1; ADD r0,r0,#1; B .-8. THUMB: MOV r0,#1; ADD r0,#1; B .-2.
    // The first byte is the target's IRQ pattern.
    const Bytes armCode = {0x00, 0x01, 0x00, 0xA0, 0xE3, 0x01, 0x00, 0x80, 0xE2, 0xFD, 0xFF, 0xFF, 0xEA};
    const Bytes thumbCode = {0x00, 0x01, 0x20, 0x01, 0x30, 0xFE, 0xE7};
    return {Joined(arm, armCode), Joined(thumb, thumbCode)};
}

std::vector<Bytes> SeedsPpi()
{
    using namespace Belcrest;
    Ppi ppi;
    PpiReset(ppi);
    return {Joined(Fuzz::ImageOf(ppi, PpiWriteImage), {0x83, 0x92, 0x80, 0x55, 0x00, 0x01, 0x02, 0x83, 0x0F})};
}

// The line values that clock the bits of value (most significant first)
// into the chip with chip select held.
void Clock(Bytes &stream, unsigned value, int bits)
{
    for (int i = bits - 1; i >= 0; --i) {
        const uint8_t in = (value >> i) & 1 ? Belcrest::EepromDataIn : 0;
        stream.push_back(Belcrest::EepromSelect | in);
        stream.push_back(Belcrest::EepromSelect | Belcrest::EepromClock | in);
    }
}

std::vector<Bytes> SeedsEeprom()
{
    // 8-bit words, 7 address bits: write enable, write $A5 at 3, read 3.
    Bytes stream = {0};
    Clock(stream, 0b1'00'1100000, 10);
    Clock(stream, 0b1'01'0000011, 10);
    Clock(stream, 0xA5, 8);
    Clock(stream, 0b1'10'0000011, 10);
    Clock(stream, 0, 9);
    stream.push_back(0);
    return {stream};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder> [target...]\n");
        return 2;
    }
    FuzzSeeds::SeedTable targets = {
        {"keystore", SeedsKeyStore}, {"pad_skin", SeedsPadSkin},       {"zip", SeedsZip},
        {"utf8", SeedsUtf8},         {"format", SeedsFormat},          {"cpu6502_state", SeedsCpu6502},
        {"z80_state", SeedsZ80},     {"arm_state", SeedsArm},          {"ppi", SeedsPpi},
        {"eeprom", SeedsEeprom},
    };
    FuzzSeeds::AddZ80Seeds(targets);
    FuzzSeeds::AddHandheldSeeds(targets);
    FuzzSeeds::Add6502Seeds(targets);
    // Only the targets named, when any are.
    std::vector<std::string> only(argv + 2, argv + argc);
    int status = 0;
    for (const auto &[name, make] : targets) {
        if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end())
            continue;
        const fs::path folder = fs::path(argv[1]) / name;
        fs::create_directories(folder);
        int n = 0;
        for (const Bytes &seed : make()) {
            const std::string path = (folder / ("seed-" + std::to_string(n++))).string();
            if (!Zorvan::WriteFileReplacing(path, seed)) {
                std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
                status = 1;
            }
        }
    }
    return status;
}
