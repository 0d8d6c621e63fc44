// The public CPU conformance program in its automation mode, compared line
// by line with its reference trace over the documented-opcode section.
#include "modules/cindrel/testing/TestMachine.h"
#include "tools/testsupport/TestRoms.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace Cindrel::Test {
namespace {

using QuintarTest::TestRomFolder;

struct TraceLine {
    uint16_t pc;
    std::vector<uint8_t> bytes;
    bool unofficial;
    uint8_t a, x, y, p, s;
    long cycle;
};

bool ParseHex(const std::string &line, const char *key, unsigned &out)
{
    size_t at = line.find(key);
    if (at == std::string::npos)
        return false;
    out = unsigned(std::strtoul(line.c_str() + at + std::strlen(key), nullptr, 16));
    return true;
}

bool ParseLine(const std::string &line, TraceLine &t)
{
    if (line.size() < 20)
        return false;
    t.pc = uint16_t(std::strtoul(line.substr(0, 4).c_str(), nullptr, 16));
    std::istringstream bytes(line.substr(6, 8));
    std::string b;
    t.bytes.clear();
    while (bytes >> b)
        t.bytes.push_back(uint8_t(std::strtoul(b.c_str(), nullptr, 16)));
    t.unofficial = line[15] == '*';
    unsigned a, x, y, p, s;
    if (!ParseHex(line, "A:", a) || !ParseHex(line, "X:", x) || !ParseHex(line, "Y:", y) ||
        !ParseHex(line, "P:", p) || !ParseHex(line, "SP:", s))
        return false;
    size_t cyc = line.find("CYC:");
    if (cyc == std::string::npos)
        return false;
    t.cycle = std::strtol(line.c_str() + cyc + 4, nullptr, 10);
    t.a = uint8_t(a), t.x = uint8_t(x), t.y = uint8_t(y), t.p = uint8_t(p), t.s = uint8_t(s);
    return true;
}

bool LoadNestest(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (image.size() < 16 + 0x4000 || std::memcmp(image.data(), "NES\x1A", 4) != 0 || image[4] != 1)
        return false;
    size_t prg = 16 + ((image[6] & 4) ? 512 : 0);
    if (image.size() < prg + 0x4000)
        return false;
    std::memcpy(Ram + 0x8000, image.data() + prg, 0x4000);
    std::memcpy(Ram + 0xC000, image.data() + prg, 0x4000);
    return true;
}

TEST(Cpu6502Nestest, DocumentedOpcodesMatchTheReferenceTrace)
{
    const std::string folder = TestRomFolder();
    const std::string rom = folder + "/nes/other/nestest.nes";
    std::ifstream logFile(folder + "/nes/other/nestest.log");
    if (folder.empty() || !std::ifstream(rom) || !logFile)
        GTEST_SKIP() << "nestest.nes and nestest.log not found under '" << folder
                     << "' (set QUINTAR_TESTROMS to the test ROM folder)";

    std::vector<TraceLine> trace;
    for (std::string line; std::getline(logFile, line);) {
        TraceLine t;
        ASSERT_TRUE(ParseLine(line, t)) << "unreadable trace line " << trace.size() + 1 << ": " << line;
        trace.push_back(t);
    }
    ASSERT_GT(trace.size(), 5000u);

    ResetMachine();
    ASSERT_TRUE(LoadNestest(rom));
    Cpu6502State cpu = MakeCpu(0xC000, 0x24, 0xFD);
    long cycle = trace[0].cycle;

    size_t compared = 0;
    for (size_t i = 0; i < trace.size(); ++i) {
        const TraceLine &t = trace[i];
        // B is not a register bit: the trace shows it clear after PLP.
        const bool same = cpu.PC == t.pc && cpu.A == t.a && cpu.X == t.x && cpu.Y == t.y &&
                          (cpu.P & ~FlagB) == (t.p & ~FlagB) && cpu.S == t.s;
        ASSERT_TRUE(same) << "trace line " << i + 1 << ": want PC " << std::hex << t.pc << " A " << int(t.a)
                          << " X " << int(t.x) << " Y " << int(t.y) << " P " << int(t.p) << " S "
                          << int(t.s) << ", have PC " << cpu.PC << " A " << int(cpu.A) << " X "
                          << int(cpu.X) << " Y " << int(cpu.Y) << " P " << int(cpu.P) << " S "
                          << int(cpu.S);
        ASSERT_EQ(cycle, t.cycle) << "trace line " << i + 1 << ": the cycle count drifted";
        ++compared;
        if (t.unofficial)
            break;
        ASSERT_LT(i + 1, trace.size());
        cycle += Step(cpu);
    }
    EXPECT_TRUE(trace[compared - 1].unofficial) << "never reached the undocumented-opcode section";
    EXPECT_EQ(Ram[0x02], 0) << "documented-opcode failure code";
    EXPECT_EQ(Ram[0x03], 0);
}

} // namespace
} // namespace Cindrel::Test
