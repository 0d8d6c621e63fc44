// The three public Master System programs, run 30 frames through the
// machine and the 32-bit renderers, against their author's pictures.
#include "modules/belcrest/testing/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"
#include "modules/belcrest/testing/VdpModel.h"
#include "tools/testsupport/TestRoms.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace Belcrest::Test {
namespace {

// A rectangle of the picture, corners included.
struct Region {
    int x0, y0, x1, y1;
    bool Contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

struct GoldenCase {
    const char *name;
    int pictureX, pictureY; // where the 256 x 192 picture lies in the author's capture
    // Regions (in picture coordinates) where the capture is not what the
    // program draws: there the frame must show what the VRAM bytes draw.
    std::vector<Region> model;
};

constexpr int ShownWidth = 256, ShownHeight = 192;

// The whole 256 x 192 picture the Master System shows.
QImage ShownWindow()
{
    QImage image(ShownWidth, ShownHeight, QImage::Format_RGB32);
    for (int y = 0; y < ShownHeight; ++y)
        for (int x = 0; x < ShownWidth; ++x)
            image.setPixel(x, y, 0xFF000000u | Surface[size_t(y + 8) * VdpSurfaceWidth + size_t(x + 8)]);
    return image;
}

class GoldenFrameTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenFrameTest, ShownWindowEqualsTheAuthorsPicture)
{
    const GoldenCase c = GetParam();
    const std::string folder = QuintarTest::TestRomFolder();
    if (folder.empty())
        GTEST_SKIP() << "public test programs not found (set QUINTAR_TESTROMS)";
    const std::string rom = folder + "/sms/" + c.name + ".sms";
    QImage picture(QString::fromStdString(folder + "/sms/" + c.name + ".png"));
    ASSERT_FALSE(picture.isNull());
    picture = picture.convertToFormat(QImage::Format_RGB32);

    ResetStandIns();
    MachineWord = MachineMasterSystem;
    ASSERT_TRUE(MachineStart(rom));
    for (int frame = 0; frame < 30; ++frame)
        ASSERT_TRUE(MachineRunFrame());
    const QImage shown = ShownWindow();

    int wrong = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < ShownHeight; ++y) {
        for (int x = 0; x < ShownWidth; ++x) {
            const int px = x, py = y; // picture coordinates
            QRgb want;
            if (std::any_of(c.model.begin(), c.model.end(), [&](const Region &r) { return r.Contains(px, py); })) {
                const int index = ModelPixel(py, px);
                const auto &rgb = Hooks.palette[size_t(index < 0 ? 0 : index)];
                want = index < 0 ? 0 : QRgb(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
            } else {
                want = picture.pixel(c.pictureX + px, c.pictureY + py) & 0xFFFFFF;
            }
            const QRgb got = shown.pixel(x, y) & 0xFFFFFF;
            if (want != got && wrong++ == 0) {
                firstX = px;
                firstY = py;
            }
        }
    }
    MachineShutdown();
    if (wrong) {
        const auto out = std::filesystem::temp_directory_path() / (std::string(c.name) + "-frame.png");
        shown.save(QString::fromStdString(out.string()));
        ADD_FAILURE() << wrong << " pixels differ, the first at (" << firstX << ", " << firstY
                      << ") of the picture; the frame is in " << out;
    }
}

INSTANTIATE_TEST_SUITE_P(PublicPrograms, GoldenFrameTest,
                         ::testing::Values(GoldenCase{"HelloWorld", 0, 0, {}},
                                           GoldenCase{"SMSAudio", 2, 16, {}},
                                           // Around the bats the capture slips a column; and
                                           // the 61 unused sprite entries, all at X 0, Y 0
                                           // with pattern 0 (opaque, red in the sprite
                                           // palette), stack at columns 0-7 of lines 1-8,
                                           // eight a line, which the capture does not show.
                                           GoldenCase{"Sprite", 0, 0, {{116, 93, 140, 100}, {0, 1, 7, 8}}}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace Belcrest::Test
