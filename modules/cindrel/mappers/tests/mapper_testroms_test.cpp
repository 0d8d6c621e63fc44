// The public test programs that need a mapper, through the harness: the
// ones that pass, and the ones known to fail with their code and reason
// pinned, so that a change either way shows.
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/testing/Harness.h"
#include "tools/testsupport/TestRoms.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

namespace Cindrel::Test {
namespace {

std::string NesFile(const char *name)
{
    const std::string folder = QuintarTest::TestRomFolder();
    return folder.empty() ? folder : folder + "/nes/" + name;
}

struct ProtocolCase {
    const char *file;
    int frames;
    int code; // 0 pass, else the pinned code
    const char *reason;
};

class MapperTestRoms : public testing::TestWithParam<ProtocolCase> {
protected:
    void TearDown() override { MachineShutdown(); }
};

TEST_P(MapperTestRoms, ReportsItsCode)
{
    const ProtocolCase &c = GetParam();
    const std::string path = NesFile(c.file);
    if (path.empty())
        GTEST_SKIP() << "public test programs not found (set QUINTAR_TESTROMS)";
    const ProtocolResult result = RunProtocol(path, c.frames);
    std::printf("%s: code %d after %d frames, text \"%s\"\n", c.file, result.code, result.frames, result.text.c_str());
    EXPECT_TRUE(result.finished) << c.file;
    EXPECT_EQ(result.code, c.code) << c.reason << "\n" << result.text;
}

// The instruction tests run their sixteen parts through MMC1 bank switching.
const ProtocolCase Cases[] = {
    {"instr_test-v5/official_only.nes", 3000, 0, ""},
    {"instr_test-v5/all_instrs.nes", 3000, 0, ""},
    {"instr_misc/instr_misc.nes", 600, 0, ""},
    {"instr_timing/instr_timing.nes", 3000, 0, ""},
    {"mmc3_test/1-clocking.nes", 600, 3, "the counter is clocked by lines, not by A12 through PPUADDR"},
    {"mmc3_test/2-details.nes", 600, 2, "the line counter model (a counter of 0 fires, then reloads)"},
    {"mmc3_test/3-A12_clocking.nes", 600, 4, "no A12 clocking through PPUADDR"},
    {"mmc3_test/4-scanline_timing.nes", 600, 3, "the counter is clocked at a fixed point of the line, not at the A12 rise of the pattern fetches"},
    {"mmc3_test/5-MMC3.nes", 600, 2, "the counter model: a reload of 0 fires on the reloading line only"},
    {"mmc3_test/6-MMC6.nes", 600, 2, "the counter model, and $A001 bit 6 ignored"},
};

std::string CaseName(const testing::TestParamInfo<ProtocolCase> &info)
{
    std::string name = info.param.file;
    for (char &ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Nes, MapperTestRoms, testing::ValuesIn(Cases), CaseName);

// The older CPU test on MMC1 reports on screen only: a line per opcode
// that fails, under the name of its group.
std::string ScreenAfter(const char *file, int frames)
{
    if (!StartImage(NesFile(file)))
        return std::string();
    RunFrames(frames);
    const std::string text = ScreenText();
    MachineShutdown();
    std::printf("%s\n", text.c_str());
    return text;
}

bool ListsAnOpcode(const std::string &text)
{
    static const std::regex opcode("(^|\n) *[0-9A-F]{2} [A-Z]{3}");
    return std::regex_search(text, opcode);
}

TEST(MapperTestRomsScreen, CpuTest5)
{
    if (QuintarTest::TestRomFolder().empty())
        GTEST_SKIP() << "public test programs not found (set QUINTAR_TESTROMS)";
    const std::string official = ScreenAfter("blargg_nes_cpu_test5/official.nes", 1500);
    EXPECT_NE(official.find("11-special"), std::string::npos);
    EXPECT_NE(official.find("All tests complete"), std::string::npos);
    EXPECT_FALSE(ListsAnOpcode(official));
    const std::string all = ScreenAfter("blargg_nes_cpu_test5/cpu.nes", 2000);
    EXPECT_NE(all.find("11-special"), std::string::npos);
    EXPECT_NE(all.find("All tests complete"), std::string::npos);
    EXPECT_FALSE(ListsAnOpcode(all));
}

// mmc5test waits for $5204 bit 7 in its line-159 IRQ handler and then
// moves the picture to its ruler: the lines above follow each other, the
// split starts on the next line.
int LineY[240];
LineRendererFn DrawLine;
int RecordLine(int line, int x, int y)
{
    LineY[line] = y;
    return DrawLine(line, x, y);
}

TEST(MapperTestRomsScreen, Mmc5SplitsAtLine159)
{
    const std::string path = NesFile("mmc5test/mmc5test.nes");
    if (path.empty())
        GTEST_SKIP() << "public test programs not found (set QUINTAR_TESTROMS)";
    ASSERT_TRUE(StartImage(path));
    DrawLine = LineRenderer;
    LineRenderer = RecordLine;
    RunFrames(60);
    MachineShutdown();
    int splits = 0, at = -1;
    for (int line = 1; line < 240; ++line)
        if (LineY[line] != LineY[line - 1] + 1) {
            ++splits;
            at = line;
        }
    EXPECT_EQ(splits, 1);
    EXPECT_EQ(at, 160);
}

} // namespace
} // namespace Cindrel::Test
