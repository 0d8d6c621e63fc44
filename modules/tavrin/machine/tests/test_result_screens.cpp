// What the public programs show once the line renderer draws them: the
// result screens of the CPU programs against pictures kept beside this file
// (a missing picture, or QUINTAR_MACHINE_GOLDEN_WRITE=1, is written instead,
// for a person to look at once), and the BIOS programs against their
// author's pictures.
#include "modules/tavrin/harness/MachineHarness.h"
#include "modules/tavrin/harness/PublicPrograms.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>

namespace Tavrin {
namespace {

constexpr int Width = MachineHarness::PictureWidth, Height = MachineHarness::FrameHeight;

// Host RGB565 widened to 8 bits a channel by repeating each field's top bits.
QImage ToImage(const std::vector<uint16_t> &picture)
{
    QImage image(Width, Height, QImage::Format_RGB888);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const uint32_t p = picture[size_t(y * Width + x)];
            const uint32_t r = p >> 11, g = p >> 5 & 63, b = p & 31;
            image.setPixel(x, y, qRgb(int(r << 3 | r >> 2), int(g << 2 | g >> 4), int(b << 3 | b >> 2)));
        }
    return image;
}

struct ResultScreen {
    const char *file;
    const char *golden;
};

void PrintTo(const ResultScreen &c, std::ostream *out) { *out << c.file; }

class ResultScreens : public ::testing::TestWithParam<ResultScreen> {};

TEST_P(ResultScreens, MatchTheirKeptPicture)
{
    const ResultScreen &c = GetParam();
    const std::string path = PublicProgramPath(c.file);
    if (path.empty())
        GTEST_SKIP() << "test program " << c.file << " not found: set QUINTAR_TESTROMS";
    MachineHarness machine;
    ASSERT_TRUE(machine.Start(path));
    ASSERT_TRUE(machine.ApplyDeliberateDifferences(c.file));
    ASSERT_EQ(machine.RunFrames(60), 60);
    const QImage ours = ToImage(machine.Picture());

    const std::filesystem::path golden = std::filesystem::path(MACHINE_GOLDEN_DIR) / c.golden;
    const char *write = std::getenv("QUINTAR_MACHINE_GOLDEN_WRITE");
    if ((write && *write == '1') || !std::filesystem::exists(golden)) {
        ASSERT_TRUE(ours.save(QString::fromStdString(golden.string())));
        GTEST_SKIP() << "wrote " << golden << ": look at it once";
    }
    const QImage kept = QImage(QString::fromStdString(golden.string())).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(kept.size(), ours.size());
    int differ = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            differ += kept.pixel(x, y) != ours.pixel(x, y);
    EXPECT_EQ(differ, 0) << "pixels differ from " << golden;
}

INSTANTIATE_TEST_SUITE_P(Jsmolka, ResultScreens,
                         ::testing::Values(ResultScreen{"jsmolka_arm_arm.gba", "jsmolka_arm.png"},
                                           ResultScreen{"jsmolka_thumb_thumb.gba", "jsmolka_thumb.png"},
                                           ResultScreen{"jsmolka_memory_memory.gba", "jsmolka_memory.png"},
                                           ResultScreen{"jsmolka_nes_nes.gba", "jsmolka_nes.png"},
                                           ResultScreen{"jsmolka_bios_bios.gba", "jsmolka_bios.png"}),
                         [](const auto &info) {
                             const std::string name = info.param.golden;
                             return name.substr(8, name.find('.') - 8);
                         });

// The author's pictures come from the console itself: compare at the
// console's five bits a channel, leaving out the text rows (8 lines each)
// that print a timer value, which measures the console BIOS's own speed, and
// the rows of results this machine's calls compute differently (the
// description computes angles in double precision; see the BIOS tests).
struct AuthorPicture {
    const char *file;
    const char *differs; // the start of result rows that differ, or null
};

void PrintTo(const AuthorPicture &c, std::ostream *out) { *out << c.file; }

class BiosProgramPictures : public ::testing::TestWithParam<AuthorPicture> {};

TEST_P(BiosProgramPictures, MatchTheAuthorsPicture)
{
    const AuthorPicture &c = GetParam();
    const std::string path = PublicProgramPath((std::string("peterlemon/") + c.file + ".gba").c_str());
    if (path.empty())
        GTEST_SKIP() << "test program " << c.file << " not found: set QUINTAR_TESTROMS";
    MachineHarness machine;
    ASSERT_TRUE(machine.Start(path));
    machine.RunFrames(30);
    const QImage ours = ToImage(machine.Picture());
    const std::vector<std::string> text = MachineHarness::TextScreen();
    const std::string picture = path.substr(0, path.size() - 4) + ".png";
    const QImage theirs = QImage(QString::fromStdString(picture)).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(theirs.size(), ours.size());
    int differ = 0;
    for (int y = 0; y < Height; ++y) {
        const std::string &row = text[size_t(y / 8)];
        if (row.find("TIMER") != std::string::npos || (c.differs && row.find(c.differs) != std::string::npos))
            continue;
        for (int x = 0; x < Width; ++x) {
            const QRgb a = ours.pixel(x, y), b = theirs.pixel(x, y);
            differ += qRed(a) >> 3 != qRed(b) >> 3 || qGreen(a) >> 3 != qGreen(b) >> 3 || qBlue(a) >> 3 != qBlue(b) >> 3;
        }
    }
    if (differ) {
        const std::filesystem::path saved = std::filesystem::temp_directory_path() / (std::string(c.file) + ".png");
        ours.save(QString::fromStdString(saved.string()));
        ADD_FAILURE() << differ << " pixels differ from the author's picture; ours is " << saved;
    }
}

INSTANTIATE_TEST_SUITE_P(PeterLemon, BiosProgramPictures,
                         ::testing::Values(AuthorPicture{"BIOSDIV", nullptr}, AuthorPicture{"BIOSSQRT", nullptr},
                                           AuthorPicture{"BIOSARCTAN", " OUTPUT R0"},
                                           AuthorPicture{"BIOSCPUSET", nullptr},
                                           AuthorPicture{"BIOSCPUFASTSET", nullptr}, AuthorPicture{"BIOSRLE", nullptr},
                                           AuthorPicture{"BIOSHUFFMAN", nullptr},
                                           AuthorPicture{"BIOSBGAFFINESET", " OUTPUT DATA"},
                                           AuthorPicture{"BIOSBIT4BPP", nullptr}),
                         [](const auto &info) { return std::string(info.param.file); });

} // namespace
} // namespace Tavrin
