// The public CPU test programs, run on the CPU and bus alone with a line
// step that only counts scanlines.
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/cpu/ArmRun.h"
#include "modules/tavrin/testing/PublicPrograms.h"
#include "modules/tavrin/testing/TestMachine.h"
#include "tools/testsupport/TestRoms.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace Tavrin::Test {
namespace {

// Two slices per scanline, 228 lines, with the line counter and the blank
// bits of the display status kept current; no interrupts.
uint32_t gLine = 0;
bool gInBlank = false;

uint32_t CountingLineHook(ArmState *s)
{
    if (!gInBlank) {
        gInBlank = true;
        s->sliceLength = 272;
    } else {
        gInBlank = false;
        s->sliceLength = 960;
        gLine = (gLine + 1) % 228;
        if (gLine == 160)
            FrameEnded = 1;
    }
    if (IoPage) {
        uint16_t status = uint16_t((gLine >= 160 && gLine < 227 ? 1 : 0) | (gInBlank ? 2 : 0));
        std::memcpy(IoPage + 4, &status, 2);
        uint16_t vcount = uint16_t(gLine);
        std::memcpy(IoPage + 6, &vcount, 2);
    }
    return 0;
}

std::vector<uint8_t> ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool SpinsOnItself()
{
    const uint32_t pc = ConsoleCpu.r[15];
    if (ConsoleCpu.cpsr & FlagT)
        return HostHalf(ReadPageTable[pc >> PageShift] + (pc & 0x3FFE)) == 0xE7FE;
    return HostWord(ReadPageTable[pc >> PageShift] + (pc & 0x3FFC)) == 0xEAFFFFFE;
}

struct RomResult {
    bool finished = false;
    uint32_t frames = 0;
};

RomResult RunRom(TestMachine &m, const std::string &file)
{
    m.LoadCart(ReadFile(file));
    const std::string name = file.substr(file.find_last_of('/') + 1);
    for (const ImagePatch &patch : DeliberateDifferences) {
        if (name != patch.file)
            continue;
        EXPECT_EQ(m.Peek32(patch.address), patch.original) << "image differs at 0x" << std::hex << patch.address;
        m.Poke32(patch.address, patch.replacement);
    }
    m.ResetCpu();
    gLine = 0;
    gInBlank = false;
    SetStandInLineHook(&CountingLineHook);
    RomResult result;
    for (; result.frames < 120; ++result.frames) {
        if (ArmRunFrame(&ConsoleCpu) != 1)
            break;
        if (SpinsOnItself()) {
            result.finished = true;
            break;
        }
    }
    return result;
}

struct RomCase {
    const char *file;
    int resultRegister;
};

// Names the case in test listings (and so in ctest's test names).
void PrintTo(const RomCase &c, std::ostream *out) { *out << c.file; }

class PublicCpuPrograms : public ::testing::TestWithParam<RomCase> {};

TEST_P(PublicCpuPrograms, EndSpinningWithNoFailedTest)
{
    const std::string path = PublicProgramPath(GetParam().file);
    if (path.empty())
        GTEST_SKIP() << "test program " << GetParam().file << " not found: set QUINTAR_TESTROMS";
    TestMachine m(0x4000);
    RomResult result = RunRom(m, path);
    ASSERT_TRUE(result.finished) << "no spin after " << result.frames << " frames, pc=0x" << std::hex
                                 << ConsoleCpu.r[15];
    EXPECT_EQ(ConsoleCpu.r[GetParam().resultRegister], 0u) << "first failed test";
}

INSTANTIATE_TEST_SUITE_P(Jsmolka, PublicCpuPrograms,
                         ::testing::Values(RomCase{"jsmolka_arm_arm.gba", 12},
                                           RomCase{"jsmolka_thumb_thumb.gba", 7}),
                         [](const auto &info) {
                             return std::string(info.param.resultRegister == 12 ? "Arm" : "Thumb");
                         });

// The memory program checks the mirrors of every region, then the byte
// stores that palette RAM and VRAM double and the sprite memory ignores.
TEST(PublicMemoryProgram, PassesEveryCheck)
{
    const std::string path = PublicProgramPath("jsmolka_memory_memory.gba");
    if (path.empty())
        GTEST_SKIP() << "test program jsmolka_memory_memory.gba not found: set QUINTAR_TESTROMS";
    TestMachine m(0x4000);
    RomResult result = RunRom(m, path);
    ASSERT_TRUE(result.finished) << "no spin after " << result.frames << " frames, pc=0x" << std::hex
                                 << ConsoleCpu.r[15];
    EXPECT_EQ(ConsoleCpu.r[12], 0u) << "first failed test";
}

} // namespace
} // namespace Tavrin::Test
