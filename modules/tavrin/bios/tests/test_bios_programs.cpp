// The public BIOS test programs run without a BIOS image, so every call
// they make is done by the machine. They print their results as text on
// background 0, one character per tile whose number is the character's
// code, so the screen is read from the map in video memory. Lines that
// print a timer value measure the console BIOS's own speed and are left
// out.
#include "modules/tavrin/harness/MachineHarness.h"
#include "modules/tavrin/harness/PublicPrograms.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/Machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace Tavrin {
namespace {

std::vector<std::string> ScreenText()
{
    const uint32_t map = (IoGet(Io::Bg0Cnt) >> 8 & 31) * 0x800;
    std::vector<std::string> lines;
    for (uint32_t y = 0; y < 20; ++y) {
        std::string line;
        for (uint32_t x = 0; x < 30; ++x) {
            const uint32_t tile = HostHalf(MachineBlocks.vram + map + (y * 32 + x) * 2) & 0x3FF;
            line += tile >= 32 && tile < 127 ? char(tile) : ' ';
        }
        lines.push_back(line);
    }
    return lines;
}

struct BiosProgram {
    const char *file;
    int results;          // result lines, timer lines left out
    const char *failing;  // the start of the one result line expected to fail, or null
    const char *why;
};

void PrintTo(const BiosProgram &c, std::ostream *out) { *out << c.file; }

class PublicBiosPrograms : public ::testing::TestWithParam<BiosProgram> {};

TEST_P(PublicBiosPrograms, ShowPassOnEveryResultLine)
{
    const BiosProgram &c = GetParam();
    const std::string path = PublicProgramPath((std::string("peterlemon/") + c.file + ".gba").c_str());
    if (path.empty())
        GTEST_SKIP() << "test program " << c.file << " not found: set QUINTAR_TESTROMS";
    MachineHarness machine;
    ASSERT_TRUE(machine.Start(path));
    machine.RunFrames(30);
    ASSERT_EQ(IoGet(Io::DispCnt) & 0x0107, 0x0100u) << "text mode with background 0";
    int results = 0;
    std::string screen;
    for (const std::string &line : ScreenText()) {
        screen += line + "\n";
        if (line.find("OUTPUT") == std::string::npos || line.find("TIMER") != std::string::npos)
            continue;
        ++results;
        const bool expectFail = c.failing && line.find(c.failing) != std::string::npos;
        EXPECT_NE(line.find(expectFail ? "FAIL" : "PASS"), std::string::npos) << line << "\n" << c.why;
    }
    EXPECT_EQ(results, c.results) << screen;
}

// The calls done here follow their high-level description, which computes
// angles in double precision where the console's BIOS uses its own tables
// and approximations; the three lines that compare with hardware values
// bit for bit differ.
INSTANTIATE_TEST_SUITE_P(
    PeterLemon, PublicBiosPrograms,
    ::testing::Values(BiosProgram{"BIOSDIV", 6, nullptr, ""}, BiosProgram{"BIOSSQRT", 1, nullptr, ""},
                      BiosProgram{"BIOSARCTAN", 2, " OUTPUT R0", "arc tangents by the host's library"},
                      BiosProgram{"BIOSCPUSET", 4, nullptr, ""}, BiosProgram{"BIOSCPUFASTSET", 2, nullptr, ""},
                      BiosProgram{"BIOSRLE", 2, nullptr, ""}, BiosProgram{"BIOSHUFFMAN", 2, nullptr, ""},
                      BiosProgram{"BIOSBGAFFINESET", 1, " OUTPUT DATA", "sines from the host's library, truncated"},
                      BiosProgram{"BIOSBIT4BPP", 4, nullptr, ""}),
    [](const auto &info) { return std::string(info.param.file); });

} // namespace
} // namespace Tavrin
