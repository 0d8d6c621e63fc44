// The public test programs run on the whole machine through the harness,
// read at the final branch to itself.
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/PublicPrograms.h"
#include "modules/tavrin/machine/Machine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace Tavrin::Test {
namespace {

struct ProgramCase {
    const char *file;
    int resultRegister;
    uint32_t expected; // 0: every test passed; else the first failed test
    const char *why;   // why a failed test is pinned
};

void PrintTo(const ProgramCase &c, std::ostream *out) { *out << c.file; }

class PublicPrograms : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(PublicPrograms, ReportTheirResultAtTheFinalSpin)
{
    const ProgramCase &c = GetParam();
    const std::string path = PublicProgramPath(c.file);
    if (path.empty())
        GTEST_SKIP() << "test program " << c.file << " not found: set QUINTAR_TESTROMS";
    MachineHarness machine;
    ASSERT_TRUE(machine.Start(path));
    EXPECT_TRUE(machine.ApplyDeliberateDifferences(c.file)) << "image differs where a patch goes";
    ASSERT_TRUE(machine.RunUntilSpin(60)) << "no spin within 60 frames, pc=0x" << std::hex
                                          << MachineHarness::Cpu().r[15];
    RecordProperty("first_failed_test", int(MachineHarness::Cpu().r[c.resultRegister]));
    EXPECT_EQ(MachineHarness::Cpu().r[c.resultRegister], c.expected) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Jsmolka, PublicPrograms,
    ::testing::Values(
        ProgramCase{"jsmolka_thumb_thumb.gba", 7, 0, ""},
        ProgramCase{"jsmolka_arm_arm.gba", 12, 0, ""},
        ProgramCase{"jsmolka_memory_memory.gba", 12, 0, ""},
        ProgramCase{"jsmolka_nes_nes.gba", 12, 0, ""},
        // The first check reads the constant the BIOS area returns after
        // start-up, which only the real BIOS leaves there.
        ProgramCase{"jsmolka_bios_bios.gba", 12, 1, "BIOS-read constant"}),
    [](const auto &info) {
        std::string name = info.param.file;
        name = name.substr(0, name.find('.'));
        for (char &ch : name)
            if (ch == '_')
                ch = 'X';
        return name.substr(name.rfind('X') + 1);
    });

} // namespace
} // namespace Tavrin::Test
