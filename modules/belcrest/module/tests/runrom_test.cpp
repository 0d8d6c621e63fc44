// The public Master System programs through the headless runner and the
// plug-in: each last frame, written as PNG, equals its author's picture
// (all 256 x 192), and SMSAudio starts playing when button 1 is held.
#include "platform/ondrel/PixelFormat.h"
#include "tools/testsupport/TestRoms.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace Belcrest::Test {
namespace {

namespace fs = std::filesystem;

fs::path BinFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin";
}

class BelcrestRunromTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        roms = QuintarTest::TestRomFolder();
        if (roms.empty())
            GTEST_SKIP() << "the public test programs are not there (QUINTAR_TESTROMS)";
        ASSERT_TRUE(fs::exists(BinFolder() / "runrom"));
        ASSERT_TRUE(temp.isValid());
    }

    // Runs runrom on a program; the PNG of its last frame.
    QImage Run(std::string const &program, int frames, QStringList extra = {})
    {
        QString const png = temp.filePath(QString::fromStdString(program) + ".png");
        QStringList arguments{"--module", QString::fromStdString((BinFolder() / "ZorvanModules/libBelcrest.so").string()),
                              "--frames", QString::number(frames), "--png", png};
        arguments << extra << QString::fromStdString(roms + "/sms/" + program + ".sms");
        QProcess runner;
        runner.start(QString::fromStdString((BinFolder() / "runrom").string()), arguments);
        EXPECT_TRUE(runner.waitForFinished(120000));
        EXPECT_EQ(runner.exitCode(), 0) << runner.readAllStandardError().toStdString();
        output = runner.readAllStandardOutput().toStdString();
        return QImage(png);
    }

    QImage Golden(std::string const &program) const
    {
        return QImage(QString::fromStdString(roms + "/sms/" + program + ".png"));
    }

    // Pixels of the frame that differ from the picture at (left, top) of the
    // golden image; colours are compared as the 16-bit display holds them.
    // Pixels inside `skip` are not compared.
    static int Differences(QImage const &frame, QImage const &golden, int left, int top,
                           std::vector<QRect> const &skip)
    {
        int count = 0;
        for (int y = 0; y < 192; ++y) {
            for (int x = 0; x < 256; ++x) {
                if (std::any_of(skip.begin(), skip.end(), [&](QRect const &r) { return r.contains(x, y); }))
                    continue;
                uint32_t const want = golden.pixel(left + x, top + y) & 0xFFFFFF;
                uint32_t const got = frame.pixel(x, y) & 0xFFFFFF;
                count += Ondrel::Rgb888To565(want) != Ondrel::Rgb888To565(got);
            }
        }
        return count;
    }

    std::string roms;
    std::string output;
    QTemporaryDir temp;
};

TEST_F(BelcrestRunromTest, EachProgramsLastFrameIsItsAuthorsPicture)
{
    struct {
        char const *program;
        int left, top;
        std::vector<QRect> skip;
    } const cases[] = {
        {"HelloWorld", 0, 0, {}},
        // A bordered capture: the picture lies at (2, 16).
        {"SMSAudio", 2, 16, {}},
        // Around the bats the capture slips one column, and it leaves out
        // the unused sprite entries stacked at the top left (the machine's
        // golden-frame test holds those against the VRAM bytes).
        {"Sprite", 0, 0, {QRect(QPoint(116, 93), QPoint(140, 100)), QRect(QPoint(0, 1), QPoint(7, 8))}},
    };
    for (auto const &c : cases) {
        QImage const frame = Run(c.program, 30);
        ASSERT_EQ(frame.size(), QSize(256, 192)) << c.program;
        EXPECT_EQ(Differences(frame, Golden(c.program), c.left, c.top, c.skip), 0) << c.program;
        EXPECT_NE(output.find(std::string(c.program) + ": "), std::string::npos) << output;
        EXPECT_NE(output.find(" frames/s"), std::string::npos) << output;
    }
}

// The 8 x 8 cell (column, row) of a picture as a mask of its lit pixels.
uint64_t CellMask(QImage const &image, int left, int top, int column, int row)
{
    uint64_t mask = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            bool const lit = (image.pixel(left + column * 8 + x, top + row * 8 + y) & 0xFFFFFF) != 0;
            mask = mask << 1 | (lit ? 1 : 0);
        }
    }
    return mask;
}

TEST_F(BelcrestRunromTest, HoldingButtonOneStartsSmsAudioPlaying)
{
    QImage const golden = Golden("SMSAudio");
    // "STOPPED" at row 2, columns 22-28; the letters of "PLAYING" as the
    // title ("SMS AUDIO PLAYER", row 1) and "Noise Generator:" (row 18)
    // draw them.
    struct {
        int column, row;
    } const letters[] = {{12, 1}, {13, 1}, {6, 1}, {15, 1}, {9, 1}, {2, 18}, {8, 18}};
    QImage const stopped = Run("SMSAudio", 60);
    QImage const playing = Run("SMSAudio", 60, {"--press", "40:vkB:30"});
    ASSERT_EQ(playing.size(), QSize(256, 192));
    for (int i = 0; i < 7; ++i) {
        uint64_t const before = CellMask(stopped, 0, 0, 22 + i, 2);
        uint64_t const after = CellMask(playing, 0, 0, 22 + i, 2);
        uint64_t const letter = CellMask(golden, 2, 16, letters[i].column, letters[i].row);
        EXPECT_EQ(before, CellMask(golden, 2, 16, 22 + i, 2)) << "STOPPED, letter " << i;
        EXPECT_EQ(after, letter) << "PLAYING, letter " << i;
    }
}

} // namespace
} // namespace Belcrest::Test
