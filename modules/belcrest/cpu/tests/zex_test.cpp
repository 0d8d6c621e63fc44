// The CP/M instruction exercisers on the bare core. They take billions of
// cycles, so this program is labelled long and runs in release builds only.
#include "modules/belcrest/testing/TestMachine.h"
#include "tools/testsupport/TestRoms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace Belcrest::Test {
namespace {

std::optional<std::vector<uint8_t>> ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A minimal CP/M: the program at 0x0100, BDOS at 0x0005 jumping to a trap
// at 0xF000 (which is also the stack top read from 0x0006), and a trap at
// 0x0000 for the warm boot that ends the run.
std::string RunCpmProgram(const std::vector<uint8_t> &program)
{
    ResetMachine();
    Machine.load(0x0100, program);
    Machine.load(0x0000, {0xED, 0xFE, 0x76});
    Machine.load(0x0005, {0xC3, 0x00, 0xF0});
    Machine.load(0xF000, {0xED, 0xFE, 0xC9});

    std::string console;
    bool finished = false;
    Machine.trap = [&](Z80State &s) {
        const uint16_t at = uint16_t(s.PC.w - 2);
        if (at == 0x0000) {
            finished = true;
            s.cyclesLeft = 0;
        } else if (s.BC.l == 2) {
            console += char(s.DE.l);
        } else if (s.BC.l == 9) {
            for (uint16_t a = s.DE.w; Machine.at(a) != '$'; a = uint16_t(a + 1))
                console += char(Machine.at(a));
        }
    };
    constexpr int32_t slice = 1 << 20;
    long slices = 0;
    Machine.lineHook = [&](Z80State &s) -> uint16_t {
        s.linePeriod = slice;
        // A passing run needs well under 50 billion cycles.
        if (finished || ++slices > 50000000000L / slice)
            return Z80VectorQuit;
        return Z80VectorNone;
    };

    Z80State cpu = FreshCpu(slice);
    cpu.PC.w = 0x0100;
    Z80RunFrame(cpu);
    EXPECT_TRUE(finished) << "the program never returned to CP/M";
    return console;
}

// One test group of an exerciser as the program stores it: the mask it
// applies to F, 60 bytes of case vectors (base, increment and shift
// machine states), the expected CRC, then the group's name.
struct ExerciserGroup {
    uint8_t flagMask;
    std::vector<uint8_t> cases;
};

std::optional<ExerciserGroup> FindGroup(const std::vector<uint8_t> &program, const std::string &name)
{
    const std::string key = name + ".";
    const auto at = std::search(program.begin(), program.end(), key.begin(), key.end());
    constexpr long recordBeforeName = 1 + 60 + 4;
    if (at == program.end() || at - program.begin() < recordBeforeName)
        return std::nullopt;
    const auto record = at - recordBeforeName;
    return ExerciserGroup{*record, std::vector<uint8_t>(record + 1, record + 61)};
}

class ZexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string folder = QuintarTest::TestRomFolder();
        if (folder.empty() || !ReadFile(folder + "/z80/zexdoc.com"))
            GTEST_SKIP() << "test programs not found; set QUINTAR_TESTROMS to the folder of "
                            "the shared test ROMs";
        folder_ = folder + "/z80/";
    }
    std::string folder_;
};

TEST_F(ZexTest, ZexdocPrintsTheExpectedReport)
{
    const auto program = ReadFile(folder_ + "zexdoc.com");
    const auto expected = ReadFile(folder_ + "zexdoc.expected.txt");
    ASSERT_TRUE(program && expected);
    EXPECT_EQ(RunCpmProgram(*program), std::string(expected->begin(), expected->end()));
}

// zexall is zexdoc with every test's flag mask widened to all eight bits.
// This core leaves bits 3 and 5 as the machine's design computes them, so
// some groups fail; the list pins them, and the two programs' own group
// records show that each failure can lie only in those two bits.
TEST_F(ZexTest, ZexallFailsOnlyTheGroupsThatSeeFlagBits3And5)
{
    const auto program = ReadFile(folder_ + "zexall.com");
    ASSERT_TRUE(program);
    const std::string out = RunCpmProgram(*program);
    std::set<std::string> failing;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line, '\n')) {
        if (!line.empty() && line.front() == '\r')
            line.erase(0, 1);
        if (line.find("ERROR") != std::string::npos)
            failing.insert(line.substr(0, line.find("..")));
    }
    const std::set<std::string> expected = {
        "<adc,sbc> hl,<bc,de,hl,sp>", "add hl,<bc,de,hl,sp>", "add ix,<bc,de,ix,sp>",
        "add iy,<bc,de,iy,sp>", "aluop a,nn", "aluop a,<b,c,d,e,h,l,(hl),a>",
        "aluop a,<ixh,ixl,iyh,iyl>", "aluop a,(<ix,iy>+1)", "bit n,<b,c,d,e,h,l,(hl),a>",
        "cpd<r>", "cpi<r>", "<daa,cpl,scf,ccf>", "<inc,dec> a", "<inc,dec> b", "<inc,dec> c",
        "<inc,dec> d", "<inc,dec> e", "<inc,dec> h", "<inc,dec> l", "<inc,dec> (hl)",
        "<inc,dec> (<ix,iy>+1)", "<inc,dec> iyl", "ldd<r> (2)", "ldi<r> (1)", "ldi<r> (2)",
        "neg", "<rrd,rld>", "<rlca,rrca,rla,rra>", "shf/rot (<ix,iy>+1)",
        "shf/rot <b,c,d,e,h,l,(hl),a>"};
    EXPECT_EQ(failing, expected) << out;
    EXPECT_NE(out.find("Tests complete"), std::string::npos);

    // Each failing group runs the same cases in zexdoc, which passes while
    // hiding only bits 3 and 5 of F. Five groups hide more there: H for the
    // 16-bit additions (the ALU test of ADC, SBC and ADD HL checks it, and
    // the prefix test shows ADD IX and ADD IY flag as ADD HL does) and S and
    // P/V for BIT (checked by the ALU test of BIT).
    const auto zexdoc = ReadFile(folder_ + "zexdoc.com");
    ASSERT_TRUE(zexdoc);
    const std::map<std::string, uint8_t> widerDocMask = {
        {"<adc,sbc> hl,<bc,de,hl,sp>", 0xC7}, {"add hl,<bc,de,hl,sp>", 0xC7},
        {"add ix,<bc,de,ix,sp>", 0xC7},       {"add iy,<bc,de,iy,sp>", 0xC7},
        {"bit n,<b,c,d,e,h,l,(hl),a>", 0x53}};
    for (const std::string &group : failing) {
        const auto all = FindGroup(*program, group), doc = FindGroup(*zexdoc, group);
        ASSERT_TRUE(all && doc) << group;
        EXPECT_EQ(all->cases, doc->cases) << group;
        EXPECT_EQ(all->flagMask, 0xFF) << group;
        const auto wider = widerDocMask.find(group);
        EXPECT_EQ(doc->flagMask, wider == widerDocMask.end() ? 0xD7 : wider->second) << group;
    }
}

} // namespace
} // namespace Belcrest::Test
