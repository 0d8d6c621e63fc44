// The public 6502-console test programs through the harness: the ones this
// machine passes, and the ones it is known to fail, each with its code and
// the reason pinned so that a change either way shows.
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/testing/ModuleStandIns.h"
#include "modules/cindrel/testing/Harness.h"
#include "tools/testsupport/TestRoms.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace Cindrel::Test {
namespace {

std::string NesFolder()
{
    const std::string folder = QuintarTest::TestRomFolder();
    return folder.empty() ? folder : folder + "/nes/";
}

template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case> &info)
{
    std::string name = info.param.file;
    for (char &ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    if constexpr (requires { info.param.pad; })
        if (info.param.pad)
            name += "_pad" + std::to_string(info.param.pad);
    return name;
}

// Programs that report through $6000.
struct ProtocolCase {
    const char *file;
    int code; // 0 pass; else the pinned code, -1 for never finishing
    const char *reason;
};

class ProtocolProgram : public testing::TestWithParam<ProtocolCase> {
protected:
    void TearDown() override { MachineShutdown(); }
};

TEST_P(ProtocolProgram, EndsWithItsCode)
{
    const std::string folder = NesFolder();
    if (folder.empty())
        GTEST_SKIP() << "public test programs not found (set QUINTAR_TESTROMS)";
    const ProtocolCase &c = GetParam();
    const ProtocolResult r = RunProtocol(folder + c.file, 1500);
    ASSERT_TRUE(r.valid) << c.file;
    EXPECT_EQ(r.finished ? r.code : -1, c.code) << c.file << ": " << r.text << "\nPinned reason: " << c.reason;
}

const ProtocolCase ProtocolCases[] = {
    {"instr_test-v5/rom_singles/01-basics.nes", 0, ""},
    {"instr_test-v5/rom_singles/02-implied.nes", 0, ""},
    {"instr_test-v5/rom_singles/03-immediate.nes", 0, ""},
    {"instr_test-v5/rom_singles/04-zero_page.nes", 0, ""},
    {"instr_test-v5/rom_singles/05-zp_xy.nes", 0, ""},
    {"instr_test-v5/rom_singles/06-absolute.nes", 0, ""},
    {"instr_test-v5/rom_singles/07-abs_xy.nes", 0, ""},
    {"instr_test-v5/rom_singles/08-ind_x.nes", 0, ""},
    {"instr_test-v5/rom_singles/09-ind_y.nes", 0, ""},
    {"instr_test-v5/rom_singles/10-branches.nes", 0, ""},
    {"instr_test-v5/rom_singles/11-stack.nes", 0, ""},
    {"instr_test-v5/rom_singles/12-jmp_jsr.nes", 0, ""},
    {"instr_test-v5/rom_singles/13-rts.nes", 0, ""},
    {"instr_test-v5/rom_singles/14-rti.nes", 0, ""},
    {"instr_test-v5/rom_singles/15-brk.nes", 0, ""},
    {"instr_test-v5/rom_singles/16-special.nes", 0, ""},
    {"nes_instr_test/rom_singles/01-implied.nes", 0, ""},
    {"nes_instr_test/rom_singles/02-immediate.nes", 0, ""},
    {"nes_instr_test/rom_singles/03-zero_page.nes", 0, ""},
    {"nes_instr_test/rom_singles/04-zp_xy.nes", 0, ""},
    {"nes_instr_test/rom_singles/05-absolute.nes", 0, ""},
    {"nes_instr_test/rom_singles/06-abs_xy.nes", 0, ""},
    {"nes_instr_test/rom_singles/07-ind_x.nes", 0, ""},
    {"nes_instr_test/rom_singles/08-ind_y.nes", 0, ""},
    {"nes_instr_test/rom_singles/09-branches.nes", 0, ""},
    {"nes_instr_test/rom_singles/10-stack.nes", 0, ""},
    {"nes_instr_test/rom_singles/11-special.nes", 0, ""},
    {"instr_misc/rom_singles/01-abs_x_wrap.nes", 0, ""},
    {"instr_misc/rom_singles/02-branch_wrap.nes", 0, ""},
    {"instr_misc/rom_singles/03-dummy_reads.nes", 0, ""},
    {"instr_misc/rom_singles/04-dummy_reads_apu.nes", 0, ""},
    {"cpu_reset/ram_after_reset.nes", 0, ""},
    {"cpu_reset/registers.nes", 2, "reset sets A, X, Y, P and S as at power-on instead of keeping them"},
    // The sound unit at power-on and reset.
    {"apu_reset/4015_cleared.nes", 0, ""},
    {"apu_reset/4017_timing.nes", 0, ""},
    {"apu_reset/4017_written.nes", 0, ""},
    {"apu_reset/irq_flag_cleared.nes", 0, ""},
    {"apu_reset/len_ctrs_enabled.nes", 0, ""},
    {"apu_reset/works_immediately.nes", 0, ""},
    {"apu_test/rom_singles/1-len_ctr.nes", 0, ""},
    {"apu_test/rom_singles/2-len_table.nes", 0, ""},
    {"apu_test/rom_singles/3-irq_flag.nes", 0, ""},
    {"apu_test/rom_singles/4-jitter.nes", 0, ""},
    {"apu_test/rom_singles/5-len_timing.nes", 0, ""},
    {"apu_test/rom_singles/6-irq_flag_timing.nes", 0, ""},
    {"apu_test/rom_singles/7-dmc_basics.nes", 0, ""},
    {"apu_test/rom_singles/8-dmc_rates.nes", 0, ""},
    {"apu_test/apu_test.nes", 0, ""},
    // Timed by the sound unit's length counter.
    {"instr_timing/rom_singles/1-instr_timing.nes", 0, ""},
    {"instr_timing/rom_singles/2-branch_timing.nes", 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Nes, ProtocolProgram, testing::ValuesIn(ProtocolCases), CaseName<ProtocolCase>);

// Older programs: a result byte in zero page and a line on the screen.
struct ZeroPageCase {
    const char *file;
    uint16_t address;
    int code; // 1 pass; else the pinned failure
    const char *screen; // a line the screen shows at the end
    const char *reason;
    uint8_t pad = 0; // buttons held from power-on
};

class ZeroPageProgram : public testing::TestWithParam<ZeroPageCase> {
protected:
    void TearDown() override { MachineShutdown(); }
};

TEST_P(ZeroPageProgram, EndsWithItsCode)
{
    const std::string folder = NesFolder();
    if (folder.empty())
        GTEST_SKIP() << "public test programs not found (set QUINTAR_TESTROMS)";
    const ZeroPageCase &c = GetParam();
    ResetStandIns();
    StandIns.pad = c.pad;
    EXPECT_EQ(RunZeroPageResult(folder + c.file, 1100, c.address), c.code) << c.file << "\nPinned reason: " << c.reason;
    ResetStandIns();
    const std::string screen = ScreenText();
    EXPECT_NE(screen.find(c.screen), std::string::npos) << c.file << " shows:\n" << screen;
}

constexpr const char *LineTiming = "the picture processor is timed per line, not per dot";

const ZeroPageCase ZeroPageCases[] = {
    // The 2005 picture-processor programs keep their result at $F0.
    {"blargg_ppu_tests_2005.09.15b/palette_ram.nes", 0xF0, 1, "$01", ""},
    {"blargg_ppu_tests_2005.09.15b/sprite_ram.nes", 0xF0, 1, "$01", ""},
    {"blargg_ppu_tests_2005.09.15b/vram_access.nes", 0xF0, 1, "$01", ""},
    {"blargg_ppu_tests_2005.09.15b/vbl_clear_time.nes", 0xF0, 3, "$03", LineTiming},
    {"blargg_ppu_tests_2005.09.15b/power_up_palette.nes", 0xF0, 2, "$02", "palette RAM starts cleared, not with one console's power-up values"},
    {"vbl_nmi_timing/1.frame_basics.nes", 0xF8, 4, "FAILED", LineTiming},
    {"vbl_nmi_timing/2.vbl_timing.nes", 0xF8, 2, "FAILED #2", LineTiming},
    {"vbl_nmi_timing/3.even_odd_frames.nes", 0xF8, 2, "FAILED #2", "no odd frames"},
    {"vbl_nmi_timing/4.vbl_clear_timing.nes", 0xF8, 5, "FAILED #5", LineTiming},
    {"vbl_nmi_timing/5.nmi_suppression.nes", 0xF8, 2, "FAILED #2", LineTiming},
    {"vbl_nmi_timing/6.nmi_disable.nes", 0xF8, 3, "FAILED #3", LineTiming},
    {"vbl_nmi_timing/7.nmi_timing.nes", 0xF8, 2, "FAILED #2", LineTiming},
    {"branch_timing_tests/1.Branch_Basics.nes", 0xF8, 1, "PASSED", ""},
    {"branch_timing_tests/2.Backward_Branch.nes", 0xF8, 1, "PASSED", ""},
    {"branch_timing_tests/3.Forward_Branch.nes", 0xF8, 1, "PASSED", ""},
    // No result byte: the screen says it. Official instructions only with
    // no button held at power-on, every opcode but the halts with B, the
    // official ones and the NOPs with A.
    {"cpu_timing_test6/cpu_timing_test.nes", 0xF8, 0, "OFFICIAL INSTRUCTIONS ONLY\n  PASSED", ""},
    {"cpu_timing_test6/cpu_timing_test.nes", 0xF8, 0, "OFFICIAL + UNDOCUMENTED\n  PASSED", "", 0x02},
    {"cpu_timing_test6/cpu_timing_test.nes", 0xF8, 0, "OFFICIAL + NOP\n  PASSED", "", 0x01},
};

INSTANTIATE_TEST_SUITE_P(Nes, ZeroPageProgram, testing::ValuesIn(ZeroPageCases), CaseName<ZeroPageCase>);

} // namespace
} // namespace Cindrel::Test
