// The public BIOS test programs run without a BIOS image, so every call
// they make is done by the machine. They print their results as text on
// background 0, one character per tile whose number is the character's
// code, so the screen is read from the map in video memory; the drawn
// picture must then match the author's, taken on the console, at its five
// bits a channel. Lines that print a timer value measure the console BIOS's
// own speed and are left out of both.
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/PublicPrograms.h"
#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/machine/Machine.h"

#include <gtest/gtest.h>

#include <QImage>

#include <string>
#include <vector>

namespace Tavrin::Test {
namespace {

struct BiosProgram {
    const char *file;
    int results; // result lines, timer lines left out
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
    for (const std::string &line : MachineHarness::TextScreen()) {
        screen += line + "\n";
        if (line.find("OUTPUT") == std::string::npos || line.find("TIMER") != std::string::npos)
            continue;
        ++results;
        EXPECT_NE(line.find("PASS"), std::string::npos) << line;
    }
    EXPECT_EQ(results, c.results) << screen;

    const std::vector<uint16_t> ours = machine.Picture();
    const std::vector<std::string> text = MachineHarness::TextScreen();
    const QImage theirs(QString::fromStdString(path.substr(0, path.size() - 4) + ".png"));
    ASSERT_EQ(theirs.width(), MachineHarness::PictureWidth);
    ASSERT_EQ(theirs.height(), MachineHarness::FrameHeight);
    int differ = 0;
    for (int y = 0; y < theirs.height(); ++y) {
        const std::string &row = text[size_t(y / 8)];
        if (row.find("TIMER") != std::string::npos)
            continue;
        for (int x = 0; x < theirs.width(); ++x) {
            const uint32_t p = ours[size_t(y * theirs.width() + x)];
            const QRgb t = theirs.pixel(x, y);
            differ += uint32_t(qRed(t) >> 3) != p >> 11 || uint32_t(qGreen(t) >> 3) != (p >> 6 & 31) ||
                      uint32_t(qBlue(t) >> 3) != (p & 31);
        }
    }
    EXPECT_EQ(differ, 0) << "pixels differ from the author's picture";
}

INSTANTIATE_TEST_SUITE_P(
    PeterLemon, PublicBiosPrograms,
    ::testing::Values(BiosProgram{"BIOSDIV", 6}, BiosProgram{"BIOSSQRT", 1}, BiosProgram{"BIOSARCTAN", 2},
                      BiosProgram{"BIOSCPUSET", 4}, BiosProgram{"BIOSCPUFASTSET", 2}, BiosProgram{"BIOSRLE", 2},
                      BiosProgram{"BIOSHUFFMAN", 2}, BiosProgram{"BIOSBGAFFINESET", 1}, BiosProgram{"BIOSBIT4BPP", 4}),
    [](const auto &info) { return std::string(info.param.file); });

} // namespace
} // namespace Tavrin::Test
