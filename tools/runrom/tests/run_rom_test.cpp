// runrom as its users run it: a separate process on images of the test
// console plug-in, which logs each frame's pad word to a file
// (QUINTAR_TEST_CONSOLE_LOG) and draws a column that moves one step a frame.
#include "platform/ondrel/PixelFormat.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace RunRom::Test {
namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::HasSubstr;

fs::path BuildFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path();
}

// The test console's picture (engine/tests/testmodule/TestConsoleVideo.h).
constexpr int kPictureWidth = 96;
constexpr int kPictureHeight = 64;
constexpr uint32_t kFieldColour = 0x102040;
constexpr uint32_t kBarColour = 0xF0C020;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class RunRomTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        root = fs::path(m_temp.path().toStdString());
        for (char const *folder : {"home", "tmp", "images"})
            fs::create_directories(root / folder);
    }

    fs::path Image(std::string const &name, std::string const &content = "image")
    {
        std::ofstream(root / "images" / name) << content;
        return root / "images" / name;
    }

    // runrom with the test console and the arguments; the user's home and
    // temporary folder are the sandbox's.
    Result Run(QStringList arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", QString::fromStdString((root / "home").string()));
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString((root / "home/.config").string()));
        environment.insert("QUINTAR_CONFIG_DIR", QString::fromStdString((root / "config").string()));
        environment.insert("TMPDIR", QString::fromStdString((root / "tmp").string()));
        environment.insert("QUINTAR_TEST_CONSOLE_LOG", QString::fromStdString(LogFile().string()));
        process.setProcessEnvironment(environment);
        arguments.prepend(QString::fromStdString((BuildFolder() / "tests/testmodule/libTestConsole.so").string()));
        arguments.prepend("--module");
        process.start(QString::fromStdString((BuildFolder() / "bin/runrom").string()), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        Result result;
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    fs::path LogFile() const { return root / "console.log"; }

    // The log lines that begin with the prefix.
    std::vector<std::string> Log(std::string const &prefix) const
    {
        std::vector<std::string> lines;
        std::ifstream in(LogFile());
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with(prefix))
                lines.push_back(line);
        }
        return lines;
    }

    static QString Path(fs::path const &path) { return QString::fromStdString(path.string()); }

    static std::vector<std::string> Lines(std::string const &text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    fs::path root;

private:
    QTemporaryDir m_temp;
};

TEST_F(RunRomTest, EachImageRunsTheFramesAskedForAndPrintsOneRateLine)
{
    Result const result = Run({"--frames", "5", Path(Image("first.qtc")), Path(Image("second.disc.qtd"))});
    EXPECT_EQ(result.status, 0) << result.err;
    std::vector<std::string> const lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    QRegularExpression const first("^first: \\d+\\.\\d frames/s$");
    QRegularExpression const second("^second\\.disc: \\d+\\.\\d frames/s$");
    EXPECT_TRUE(first.match(QString::fromStdString(lines[0])).hasMatch()) << lines[0];
    EXPECT_TRUE(second.match(QString::fromStdString(lines[1])).hasMatch()) << lines[1];
    // Frame 0 untimed, then five, for each image.
    EXPECT_EQ(Log("frame").size(), 12u);
    EXPECT_EQ(Log("start").size(), 2u);
    EXPECT_EQ(Log("shutdown").size(), 2u);
}

TEST_F(RunRomTest, ThePictureIsTheLastShownFrameAtThePictureSize)
{
    fs::path const png = root / "last.png";
    Result const result = Run({"--frames", "9", "--png", Path(png), Path(Image("game.qtc"))});
    ASSERT_EQ(result.status, 0) << result.err;
    QImage const picture(Path(png));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), kPictureWidth);
    EXPECT_EQ(picture.height(), kPictureHeight);
    auto colour = [&](int x, int y) { return Ondrel::Rgb888To565(picture.pixel(x, y) & 0xFFFFFF); };
    // Frames 0 to 9 ran: the column of frame 9, and none of the guard band.
    for (int y : {0, kPictureHeight / 2, kPictureHeight - 1}) {
        EXPECT_EQ(colour(9, y), Ondrel::Rgb888To565(kBarColour)) << y;
        EXPECT_EQ(colour(8, y), Ondrel::Rgb888To565(kFieldColour)) << y;
        EXPECT_EQ(colour(0, y), Ondrel::Rgb888To565(kFieldColour)) << y;
        EXPECT_EQ(colour(kPictureWidth - 1, y), Ondrel::Rgb888To565(kFieldColour)) << y;
    }
}

TEST_F(RunRomTest, KeysAreHeldFromTheirFrameForTheirFrames)
{
    // The test console's Start is bit 0x80 on "vkStart"; its A (0x10) is
    // the default key table's 'X' (88).
    Result const result =
        Run({"--frames", "6", "--press", "2:vkStart", "--press", "4:88:1", Path(Image("game.qtc"))});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(Log("frame"), ElementsAre("frame 0 pad 0x0", "frame 1 pad 0x0", "frame 2 pad 0x80",
                                          "frame 3 pad 0x80", "frame 4 pad 0x10", "frame 5 pad 0x0",
                                          "frame 6 pad 0x0"));
}

TEST_F(RunRomTest, AnImageThatDoesNotOpenFailsTheRunWithTheReason)
{
    struct Case {
        std::string image;
        bool create;
        std::string reason;
    };
    Case const cases[] = {
        {"missing.qtc", false, "missing.qtc: no such file"},
        {"refuse.qtc", true, "Test Console: the image was refused"},
        {"game.unknown", true, "game.unknown: no module could open the image"},
    };
    for (Case const &c : cases) {
        fs::path const image = c.create ? Image(c.image) : root / "images" / c.image;
        // The other images of the run still run.
        Result const result = Run({"--frames", "1", Path(image), Path(Image("good.qtc"))});
        EXPECT_EQ(result.status, 1) << c.image;
        EXPECT_THAT(result.err, HasSubstr(c.reason)) << c.image;
        ASSERT_EQ(Lines(result.out).size(), 1u) << c.image << ": " << result.out;
        EXPECT_THAT(result.out, testing::StartsWith("good: ")) << c.image;
    }
}

TEST_F(RunRomTest, AWrongCommandLineOrKeyIsStatusTwo)
{
    std::vector<QStringList> const commands = {
        {},
        {"--frames", "0", "x.qtc"},
        {"--frames", "many", "x.qtc"},
        {"--press", "3", "x.qtc"},
        {"--press", "a:vkStart", "x.qtc"},
        {"--press", "1:vkStart:0", "x.qtc"},
        {"--speed", "x.qtc"},
        {"x.qtc", "--png"},
    };
    for (QStringList const &command : commands) {
        Result const result = Run(command);
        EXPECT_EQ(result.status, 2) << command.join(' ').toStdString();
        EXPECT_THAT(result.err, HasSubstr("usage: runrom")) << command.join(' ').toStdString();
    }
    Result const result = Run({"--press", "1:vkTurbo", Path(Image("game.qtc"))});
    EXPECT_EQ(result.status, 2);
    EXPECT_THAT(result.err, HasSubstr("vkTurbo: not a key"));
}

TEST_F(RunRomTest, SoundIsOpenedOnlyWhenAskedFor)
{
    // The test console's own "Sound" is off; --sound turns on both the
    // engine's and the module's.
    ASSERT_EQ(Run({"--frames", "1", Path(Image("quiet.qtc"))}).status, 0);
    EXPECT_TRUE(Log("sound Open").empty());
    ASSERT_EQ(Run({"--sound", "--frames", "1", Path(Image("loud.qtc"))}).status, 0);
    EXPECT_THAT(Log("sound Open"), ElementsAre("sound Open 22050"));
}

TEST_F(RunRomTest, AMachineThatQuitsEarlyIsRatedOverTheFramesItRan)
{
    Result const result = Run({"--frames", "10", Path(Image("short.qtc", "quit:4\n"))});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_THAT(result.err, HasSubstr("the machine stopped after 3 of 10 timed frames"));
    EXPECT_THAT(result.out, testing::StartsWith("short: "));
    EXPECT_EQ(Log("frame").size(), 4u);
}

TEST_F(RunRomTest, TheTemporaryHomeIsRemovedAndTheUsersFoldersAreUntouched)
{
    Result const result = Run({"--frames", "2", Path(Image("game.qtc"))});
    ASSERT_EQ(result.status, 0) << result.err;
    // The run wrote settings and a battery file, all into its own home.
    ASSERT_EQ(Log("start").size(), 1u);
    EXPECT_THAT(Log("start")[0], HasSubstr("/Saved Game Files/Test Console/game.save"));
    EXPECT_TRUE(fs::is_empty(root / "home"));
    EXPECT_TRUE(fs::is_empty(root / "tmp"));
    EXPECT_FALSE(fs::exists(root / "config"));
}

TEST_F(RunRomTest, AGivenHomeKeepsTheSettingsAndSaves)
{
    fs::path const home = root / "runhome";
    Result const result = Run({"--home", Path(home), "--frames", "2", Path(Image("game.qtc"))});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::exists(home / "Documents/Saved Game Files/Test Console/game.save"));
    EXPECT_FALSE(fs::is_empty(home / ".config/Quintar"));
    EXPECT_TRUE(fs::is_empty(root / "home"));
}

} // namespace
} // namespace RunRom::Test
