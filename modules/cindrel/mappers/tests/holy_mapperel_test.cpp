// The board test images, one per board: each program finds the mapper it
// runs on, measures program ROM, work RAM and pattern memory, names the
// board and draws a four-digit detail code (work RAM, program, IRQ,
// pattern; 0 = pass). Every screen is what the image's name describes;
// where it is not, the reason is pinned beside it.
#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/testing/Harness.h"
#include "tools/testsupport/TestRoms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace Cindrel::Test {
namespace {

struct BoardScreen {
    const char *file;
    const char *board;   // the first line
    const char *workRam; // the third
    const char *pattern; // the fourth
    const char *code;    // the detail code
    const char *pinned;  // why the screen differs from the image's name, or null
};

constexpr const char *Missing = "PRG RAM MISSING";
constexpr const char *NotInTable = "its mapper has no row here: it runs on the default mapping, which the program "
                                   "takes for the board of number 2 and whose program banks fail its test";

const BoardScreen Screens[] = {
    {"M0_P32K_C8K_V.nes", "000 NROM", Missing, "8K CHR ROM OK", "0000", nullptr},
    {"M0_P32K_CR32K_V.nes", "000 NROM", Missing, "8K CHR RAM OK", "0000",
     "the board has no pattern bank register, so the program measures the 8 KB it can reach"},
    {"M0_P32K_CR8K_V.nes", "000 NROM", Missing, "8K CHR RAM OK", "0000", nullptr},
    {"M1_P128K_C128K.nes", "001 SLROM (MMC1)", Missing, "128K CHR ROM OK", "0000", nullptr},
    {"M1_P128K_C128K_S8K.nes", "001 SKROM (MMC1)", "8K PRG RAM OK", "128K CHR ROM OK", "0000", nullptr},
    {"M1_P128K_C128K_W8K.nes", "001 SKROM (MMC1)", "8K PRG RAM OK", "128K CHR ROM OK", "0000", nullptr},
    {"M1_P128K_C32K.nes", "001 SFROM (MMC1)", Missing, "32K CHR ROM OK", "0000", nullptr},
    {"M1_P128K_C32K_S8K.nes", "001 SJROM (MMC1)", "8K PRG RAM OK", "32K CHR ROM OK", "0000", nullptr},
    {"M1_P128K_C32K_W8K.nes", "001 SJROM (MMC1)", "8K PRG RAM OK", "32K CHR ROM OK", "0000", nullptr},
    {"M1_P128K_CR8K.nes", "001 SGROM (MMC1)", Missing, "8K CHR RAM OK", "0000", nullptr},
    {"M1_P512K_CR8K_S32K.nes", "001 SXROM (MMC1)", "32K PRG RAM OK", "8K CHR RAM OK", "0000", nullptr},
    {"M1_P512K_CR8K_S8K.nes", "001 SUROM (MMC1)", "8K PRG RAM OK", "8K CHR RAM OK", "0000", nullptr},
    {"M2_P128K_CR8K_V.nes", "002 UNROM", Missing, "8K CHR RAM OK", "0000", nullptr},
    {"M3_P32K_C32K_H.nes", "003 CNROM", Missing, "32K CHR ROM OK", "0000", nullptr},
    {"M4_P128K_CR32K.nes", "004 TFROM (MMC3)", Missing, "32K CHR RAM OK", "0000", nullptr},
    {"M4_P128K_CR8K.nes", "004 TGROM (MMC3)", Missing, "8K CHR RAM OK", "0000", nullptr},
    {"M4_P1M_CR32K.nes", "004 T*ROM (MMC3)", Missing, "32K CHR RAM OK", "0000",
     "the program's table of board names has no row for 1 MB of program ROM"},
    {"M4_P256K_C256K.nes", "004 TLROM (MMC3)", Missing, "256K CHR ROM OK", "0000", nullptr},
    {"M4_P256K_CR32K.nes", "004 TFROM (MMC3)", Missing, "32K CHR RAM OK", "0000", nullptr},
    {"M7_P128K_CR8K.nes", "007 ANROM", Missing, "8K CHR RAM OK", "0000", nullptr},
    {"M9_P128K_C64K.nes", "009 PNROM (MMC2)", Missing, "64K CHR ROM OK", "0000", nullptr},
    {"M10_P128K_C64K_S8K.nes", "010 F*ROM (MMC4)", "8K PRG RAM OK", "64K CHR ROM OK", "0000",
     "the program's table of board names has no row for this board"},
    {"M10_P128K_C64K_W8K.nes", "010 F*ROM (MMC4)", "8K PRG RAM OK", "64K CHR ROM OK", "0000",
     "the program's table of board names has no row for this board"},
    {"M11_P64K_C64K_V.nes", "011 COLOR DREAMS", Missing, "64K CHR ROM OK", "0000", nullptr},
    {"M11_P64K_CR32K_V.nes", "011 COLOR DREAMS", Missing, "32K CHR RAM OK", "0000", nullptr},
    {"M28_P1M_CR32K.nes", "002 U*ROM", Missing, "8K CHR RAM OK", "0100", NotInTable},
    {"M28_P512K_CR32K.nes", "002 U*ROM", Missing, "8K CHR RAM OK", "0100", NotInTable},
    {"M34_P128K_CR8K_H.nes", "034 BNROM", Missing, "8K CHR RAM OK", "0000", nullptr},
    {"M66_P64K_C16K_V.nes", "066 MHROM", Missing, "16K CHR ROM OK", "0000", nullptr},
    {"M69_P128K_C64K_S8K.nes", "069 J*ROM (FME-7)", "8K PRG RAM OK", "64K CHR ROM OK", "0010",
     "no name-table row for this board; the counter is stepped once a line with the line's cycles, so an IRQ "
     "256 cycles away comes on a line's boundary"},
    {"M69_P128K_C64K_W8K.nes", "069 J*ROM (FME-7)", "8K PRG RAM OK", "64K CHR ROM OK", "0010",
     "no name-table row for this board; the counter is stepped once a line with the line's cycles, so an IRQ "
     "256 cycles away comes on a line's boundary"},
    {"M78.3_P128K_C64K.nes", "078 HOLY DIVER", Missing, "64K CHR ROM OK", "0000", nullptr},
    {"M78.3_P128K_CR32K.nes", "078 HOLY DIVER", Missing, "32K CHR RAM OK", "0000", nullptr},
    {"M118_P128K_C64K.nes", "002 UNROM", Missing, "8K CHR ROM OK", "0100", NotInTable},
    {"M180_P128K_CR8K_H.nes", "002 UNROM", Missing, "8K CHR RAM OK", "0100", NotInTable},
};

// Line row of the first name table, as the program's font draws it:
// letters at tiles 1-26, everything else at its character code.
std::string ScreenLine(int row)
{
    std::string line;
    for (int column = 0; column < 32; ++column) {
        const uint8_t c = VideoPageMap[8][row * 32 + column];
        line += c >= 1 && c <= 26 ? char('A' + c - 1) : c >= 32 && c < 127 ? char(c) : '?';
    }
    line.erase(line.find_last_not_of(' ') + 1);
    line.erase(0, std::min(line.find_first_not_of(' '), line.size()));
    return line;
}

constexpr const char *CodeLabel = "DETAILED TEST RESULT: ";

// Runs the image until its detail code is drawn (the larger pattern RAMs
// take a few hundred frames to measure) or 1,500 frames passed.
bool RunUntilTheCode(const std::string &path)
{
    if (!StartImage(path))
        return false;
    for (int frame = 0; frame < 1500; frame += 30) {
        RunFrames(30);
        if (ScreenLine(8).rfind(CodeLabel, 0) == 0)
            return true;
    }
    return false;
}

std::string Folder()
{
    const std::string root = QuintarTest::TestRomFolder();
    return root.empty() ? root : root + "/nes/holy-mapperel";
}

TEST(HolyMapperel, EveryBoardReadsAsItsNameSays)
{
    const std::string folder = Folder();
    if (folder.empty() || !std::filesystem::is_directory(folder))
        GTEST_SKIP() << "public test programs not found (set QUINTAR_TESTROMS)";
    std::printf("%-24s %-18s %-16s %-16s code\n", "image", "board", "work RAM", "pattern");
    for (const BoardScreen &s : Screens) {
        ASSERT_TRUE(RunUntilTheCode(folder + "/" + s.file)) << s.file << ": no detail code drawn";
        const std::string code = ScreenLine(8).substr(std::string(CodeLabel).size());
        std::printf("%-24s %-18s %-16s %-16s %s%s\n", s.file, ScreenLine(4).c_str(), ScreenLine(6).c_str(),
                    ScreenLine(7).c_str(), code.c_str(), s.pinned ? " (pinned)" : "");
        const std::string why = s.pinned ? s.pinned : "the screen the image's name describes";
        EXPECT_EQ(ScreenLine(4), s.board) << s.file << ": " << why;
        EXPECT_EQ(ScreenLine(6), s.workRam) << s.file << ": " << why;
        EXPECT_EQ(ScreenLine(7), s.pattern) << s.file << ": " << why;
        EXPECT_EQ(code, s.code) << s.file << ": " << why;
        MachineShutdown();
    }
}

// A new image in the folder needs its row.
TEST(HolyMapperel, TheTableCoversEveryImage)
{
    const std::string folder = Folder();
    if (folder.empty() || !std::filesystem::is_directory(folder))
        GTEST_SKIP() << "public test programs not found (set QUINTAR_TESTROMS)";
    std::set<std::string> rows;
    for (const BoardScreen &s : Screens)
        rows.insert(s.file);
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".nes") {
            EXPECT_TRUE(rows.count(entry.path().filename().string())) << entry.path().filename();
        }
    }
}

} // namespace
} // namespace Cindrel::Test
