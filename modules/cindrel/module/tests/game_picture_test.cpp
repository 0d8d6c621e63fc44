// Homebrew games against pictures of what the console shows at frames 600
// and 1800, Start held for six frames from frame 300. The pictures are 256 x
// 240 and the console shows their lines 8-231. Palettes differ between
// consoles in shade and in which colour numbers look alike, so each of our
// host colours stands for the picture's colour it most often lies on; the
// picture's most common colour is its backdrop, and every other pixel of it
// must be in place, with no ink of ours where the picture has backdrop.
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "platform/ondrel/Input.h"
#include "tools/testsupport/TestRoms.h"

#include <QImage>

#include <map>
#include <sstream>

namespace Cindrel::Test {
namespace {

// A line on which the console changes the picture while drawing it: from
// pixel `from` on it shows a write the CPU made during the line, which a
// picture drawn a line at a time cannot show there.
struct MidLineChange {
    int line; // of the 240
    int from;
};

struct GamePicture {
    char const *game; // below nes/games/
    int frame;
    std::vector<MidLineChange> midLine;
};

// The faults found, per picture: the lines that differ and how many pixels.
struct Comparison {
    int ink = 0;
    int inPlace = 0;
    std::map<int, int> wrongLines;
};

Comparison Compare(std::vector<uint32_t> const &ours, QImage const &reference, std::vector<MidLineChange> const &midLine)
{
    std::map<QRgb, int> frequency;
    for (int y = 8; y < 232; ++y)
        for (int x = 0; x < 256; ++x)
            ++frequency[reference.pixel(x, y)];
    QRgb backdrop = 0;
    int most = 0;
    for (auto const &[colour, count] : frequency)
        if (count > most)
            most = count, backdrop = colour;

    std::map<uint32_t, std::map<QRgb, int>> liesOn;
    for (int y = 0; y < 224; ++y)
        for (int x = 0; x < 256; ++x)
            ++liesOn[ours[size_t(y * 256 + x)]][reference.pixel(x, y + 8)];
    std::map<uint32_t, QRgb> mapped;
    for (auto const &[colour, under] : liesOn) {
        int best = 0;
        for (auto const &[theirs, count] : under)
            if (count > best)
                best = count, mapped[colour] = theirs;
    }

    Comparison result;
    for (int y = 0; y < 224; ++y) {
        int end = 256;
        for (MidLineChange const &change : midLine)
            if (change.line == y + 8)
                end = change.from;
        for (int x = 0; x < end; ++x) {
            QRgb const want = reference.pixel(x, y + 8);
            QRgb const got = mapped[ours[size_t(y * 256 + x)]];
            if (want != backdrop)
                ++result.ink;
            if (got == want)
                result.inPlace += want != backdrop;
            else if (want != backdrop || got != backdrop)
                ++result.wrongLines[y + 8];
        }
    }
    return result;
}

class CindrelGamePictures : public CindrelSandbox {};

TEST_F(CindrelGamePictures, FramesMatchTheConsole)
{
    std::string const folder = QuintarTest::TestRomFolder();
    if (folder.empty())
        GTEST_SKIP() << "public test programs not found (QUINTAR_TESTROMS or ../shared/testroms)";
    fs::path const games = fs::path(folder) / "nes" / "games";
    if (!fs::is_directory(games))
        GTEST_SKIP() << "the games are not among the public test programs (" << games << ")";

    // The split IRQ handlers of the two MMC3 programs write while the
    // console draws the line after the split: mmc3_parallax's fine scroll
    // (lines 160 and 179 shift from pixel 234 and 242 on) and
    // hello_mmc3's bank (line 80 shows the old bank's white letters up to
    // pixel 44, the new one's grey from 65 on). Left of those pixels the
    // lines are compared as any other.
    std::vector<MidLineChange> const parallaxSplits = {{160, 234}, {179, 242}};
    std::vector<MidLineChange> const helloSplit = {{80, 65}};
    std::vector<GamePicture> const pictures = {
        {"oregon", 600, {}},
        {"oregon", 1800, {}},
        {"mmc3_parallax", 600, parallaxSplits},
        {"mmc3_parallax", 1800, parallaxSplits},
        {"superballboy", 600, {}},
        {"superballboy", 1800, {}},
        {"hello_mmc3", 600, helloSplit},
        {"hello_mmc3", 1800, helloSplit},
    };
    std::string running;
    int frame = 0;
    for (GamePicture const &picture : pictures) {
        if (picture.game != running) {
            running = picture.game;
            ASSERT_TRUE(Run(games / (running + ".nes"))) << Console();
            frame = 0;
        }
        Ondrel::Input *input = engine->GetInput();
        int const start = Module().GetSettings().GetInt(L"vkStart");
        // As runrom --frames N runs them: frame 0, then N more.
        for (; frame <= picture.frame; ++frame) {
            if (frame == 300 || frame == 306)
                input->KeyEvent(start, frame == 300);
            ASSERT_TRUE(Module().RunFrame());
        }
        fs::path const file = games / (running + ".console-" + std::to_string(picture.frame) + ".png");
        QImage const reference = QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(reference.size(), QSize(256, 240)) << file;
        Comparison const result = Compare(ShownPixels(), reference, picture.midLine);
        std::ostringstream lines;
        for (auto const &[line, wrong] : result.wrongLines)
            lines << " " << line << ":" << wrong;
        EXPECT_TRUE(result.wrongLines.empty())
            << running << " at frame " << picture.frame << ": " << result.inPlace << " of " << result.ink
            << " ink pixels in place; wrong pixels by line:" << lines.str();
    }
}

} // namespace
} // namespace Cindrel::Test
