// The public sprite programs through the module with every frame drawn:
// sprite 0 hits come from the real line renderers. Programs the line model
// cannot pass are pinned with their code and the reason.
#include "modules/cindrel/testing/Harness.h"
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "tools/testsupport/TestRoms.h"

namespace Cindrel::Test {
namespace {

struct Program {
    char const *file;
    int frames;
    int code; // at $F8 after the frames
    char const *reason; // why a code other than 1 is expected
};

Program const kPrograms[] = {
    {"sprite_hit_tests_2005.10.05/01.basics.nes", 90, 1, nullptr},
    {"sprite_hit_tests_2005.10.05/02.alignment.nes", 90, 1, nullptr},
    {"sprite_hit_tests_2005.10.05/03.corners.nes", 90, 1, nullptr},
    {"sprite_hit_tests_2005.10.05/04.flip.nes", 90, 1, nullptr},
    {"sprite_hit_tests_2005.10.05/05.left_clip.nes", 90, 1, nullptr},
    {"sprite_hit_tests_2005.10.05/08.double_height.nes", 90, 1, nullptr},
    {"sprite_hit_tests_2005.10.05/07.screen_bottom.nes", 90, 1, nullptr},
    // The hit is found a line at a time: the flag rises for the whole line,
    // before the pixel that makes it on the hardware.
    {"sprite_hit_tests_2005.10.05/06.right_edge.nes", 90, 2, " (line-granular hit: no right-edge column rule)"},
    {"sprite_hit_tests_2005.10.05/09.timing_basics.nes", 120, 3, " (line-granular hit timing)"},
    {"sprite_hit_tests_2005.10.05/10.timing_order.nes", 120, 3, " (line-granular hit timing)"},
    {"sprite_hit_tests_2005.10.05/11.edge_timing.nes", 120, 3, " (line-granular hit timing)"},
    // The overflow flag is set per line by the sprite pre-pass, without the
    // hardware's evaluation quirks and timing.
    {"sprite_overflow_tests/1.Basics.nes", 90, 2, " (per-line overflow flag)"},
    {"sprite_overflow_tests/2.Details.nes", 90, 2, " (per-line overflow flag)"},
    {"sprite_overflow_tests/3.Timing.nes", 120, 3, " (per-line overflow flag)"},
    {"sprite_overflow_tests/4.Obscure.nes", 120, 2, " (per-line overflow flag)"},
    {"sprite_overflow_tests/5.Emulator.nes", 120, 2, " (per-line overflow flag)"},
};

class CindrelTestRoms : public CindrelSandbox, public ::testing::WithParamInterface<Program> {};

TEST_P(CindrelTestRoms, ResultCode)
{
    std::string const folder = QuintarTest::TestRomFolder();
    if (folder.empty())
        GTEST_SKIP() << "public test programs not found (QUINTAR_TESTROMS or ../shared/testroms)";
    Program const &p = GetParam();
    ASSERT_TRUE(Run(fs::path(folder) / "nes" / p.file)) << Console();
    Frames(p.frames);
    EXPECT_EQ(CpuSpace[0xF8], p.code) << p.file << (p.reason ? p.reason : "") << "\n" << ScreenText();
}

INSTANTIATE_TEST_SUITE_P(Programs, CindrelTestRoms, ::testing::ValuesIn(kPrograms),
                         [](::testing::TestParamInfo<Program> const &info) {
                             std::string name = fs::path(info.param.file).stem().string();
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// The CPU programs through the plug-in, as a user opens them: the newer
// ones report at $6000, the older ones on the screen.
TEST_F(CindrelSandbox, CpuProgramsPassThroughTheModule)
{
    std::string const folder = QuintarTest::TestRomFolder();
    if (folder.empty())
        GTEST_SKIP() << "public test programs not found";
    struct Program {
        char const *file;
        int frames;
        char const *screen; // null: $6000 reads 0 under the program's mark
    } const programs[] = {
        {"instr_test-v5/all_instrs.nes", 2600, nullptr},
        {"nes_instr_test/rom_singles/02-immediate.nes", 100, nullptr},
        {"blargg_nes_cpu_test5/cpu.nes", 1200, "All tests complete"},
        {"cpu_timing_test6/cpu_timing_test.nes", 1100, "PASSED"},
        {"branch_timing_tests/2.Backward_Branch.nes", 100, "PASSED"},
        {"branch_timing_tests/3.Forward_Branch.nes", 100, "PASSED"},
        {"instr_timing/instr_timing.nes", 400, nullptr},
    };
    for (Program const &p : programs) {
        ASSERT_TRUE(Run(fs::path(folder) / "nes" / p.file)) << Console();
        Frames(p.frames);
        if (p.screen)
            EXPECT_NE(ScreenText().find(p.screen), std::string::npos) << p.file << "\n" << ScreenText();
        else {
            EXPECT_TRUE(ProtocolValid()) << p.file << " never reported\n" << ScreenText();
            EXPECT_EQ(ReadMemory(0x6000), 0) << p.file << "\n" << ScreenText();
        }
    }
}

// Not a check: prints what the pad programs show, for the closing note.
TEST_F(CindrelSandbox, ReportScreens)
{
    std::string const folder = QuintarTest::TestRomFolder();
    if (folder.empty())
        GTEST_SKIP() << "public test programs not found";
    struct Report {
        char const *file;
        int frames;
    } const reports[] = {
        {"read_joy3/count_errors.nes", 200},
        {"read_joy3/count_errors_fast.nes", 200},
        {"read_joy3/thorough_test.nes", 4000},
    };
    for (Report const &r : reports) {
        ASSERT_TRUE(Run(fs::path(folder) / "nes" / r.file)) << Console();
        Frames(r.frames);
        std::printf("%s: $F8 = %d\n%s\n", r.file, CpuSpace[0xF8], ScreenText().c_str());
    }
}

} // namespace
} // namespace Cindrel::Test
