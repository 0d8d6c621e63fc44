// The public CPU conformance program in its automation mode, compared line
// by line with its reference trace over the documented-opcode section.
#include "modules/cindrel/cpu/tests/TestMachine.h"
#include "tools/testsupport/TestRoms.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace Cindrel;
using namespace Cindrel::Test;

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

// Whether the real CPU charges this instruction one more cycle for a page
// crossing, worked out from the registers and memory before it runs.
bool CrossesPage(const TraceLine &t)
{
    const uint8_t op = t.bytes[0];
    auto crosses = [](unsigned base, unsigned index) { return ((base & 0xFF) + index) > 0xFF; };
    if ((op & 0x1F) == 0x10) { // branches
        static const uint8_t flag[4] = {FlagN, FlagV, FlagC, FlagZ};
        bool set = t.p & flag[op >> 6];
        if (set != bool(op & 0x20))
            return false;
        uint16_t next = uint16_t(t.pc + 2);
        uint16_t target = uint16_t(next + int8_t(t.bytes[1]));
        return (next & 0xFF00) != (target & 0xFF00);
    }
    unsigned word = t.bytes.size() == 3 ? unsigned(t.bytes[1] | (t.bytes[2] << 8)) : 0;
    switch (op) {
    case 0x1D: case 0x3D: case 0x5D: case 0x7D: case 0xBD: case 0xDD: case 0xFD: case 0xBC:
        return crosses(word, t.x);
    case 0x19: case 0x39: case 0x59: case 0x79: case 0xB9: case 0xD9: case 0xF9: case 0xBE:
        return crosses(word, t.y);
    case 0x11: case 0x31: case 0x51: case 0x71: case 0xB1: case 0xD1: case 0xF1:
        return crosses(Ram[t.bytes[1]], t.y);
    default:
        return false;
    }
}

// The kept cycle table charges ORA, AND, EOR, ADC, CMP and SBC abs,X five
// cycles, as if the index always crossed a page; the real CPU charges four
// plus one on a crossing.
bool AlwaysChargedAsCrossing(uint8_t op)
{
    switch (op) {
    case 0x1D: case 0x3D: case 0x5D: case 0x7D: case 0xDD: case 0xFD:
        return true;
    default:
        return false;
    }
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

    size_t compared = 0, cycleLinesDiffering = 0, firstCycleDifference = 0;
    size_t cheaperInstructions = 0, dearerInstructions = 0;
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
        ++compared;
        if (cycle != t.cycle && cycleLinesDiffering++ == 0)
            firstCycleDifference = i + 1;
        if (t.unofficial)
            break;
        ASSERT_LT(i + 1, trace.size());

        const bool crosses = CrossesPage(t);
        const bool fixedFive = AlwaysChargedAsCrossing(t.bytes[0]);
        const int cost = Step(cpu);
        cycle += cost;
        const long realCost = trace[i + 1].cycle - t.cycle;
        // The kept cycle model has no page-crossing cycle and a fixed five
        // for the abs,X arithmetic group; every other cost must be the real
        // CPU's.
        const long want = fixedFive ? 5 : realCost - (crosses ? 1 : 0);
        EXPECT_EQ(cost, want) << "trace line " << i + 1;
        if (cost < realCost)
            ++cheaperInstructions;
        else if (cost > realCost)
            ++dearerInstructions;
    }
    EXPECT_TRUE(trace[compared - 1].unofficial) << "never reached the undocumented-opcode section";
    EXPECT_EQ(Ram[0x02], 0) << "documented-opcode failure code";
    EXPECT_EQ(Ram[0x03], 0);

    std::printf("nestest: %zu trace lines compared, cycle column differs on %zu of them (from line %zu); "
                "%zu instructions one cycle cheaper (page crossings), %zu one dearer (abs,X arithmetic)\n",
                compared, cycleLinesDiffering, firstCycleDifference, cheaperInstructions, dearerInstructions);
    RecordProperty("lines_compared", int(compared));
    RecordProperty("cycle_lines_differing", int(cycleLinesDiffering));
    RecordProperty("cheaper_instructions", int(cheaperInstructions));
    RecordProperty("dearer_instructions", int(dearerInstructions));
}

} // namespace
