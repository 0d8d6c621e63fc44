// Whole frames of public programs drawn by the machine and this renderer
// after 60 frames through the machine harness. The test programs' screens
// are compared exactly with pictures kept beside this file (written once
// when missing or with QUINTAR_RENDER_GOLDEN_WRITE=1, for a person to look
// at); the demos are compared with their author's own pictures as console
// colours, each 8-bit channel of the picture shifted right by three.

#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/PublicPrograms.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/render/ColorTables.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace Tavrin::Test {
namespace {

constexpr int Width = MachineHarness::PictureWidth, Height = MachineHarness::FrameHeight;
constexpr int Frames = 60;

class MachineFrames : public ::testing::Test {
protected:
    static void SetUpTestSuite() { FillColorTables(); }

    // Runs the program for 60 frames and returns its picture (RGB565), or
    // nothing after a skip or failure.
    std::vector<uint16_t> Run(const std::string &file, const std::string &folder = "")
    {
        const std::string path = PublicProgramPath((folder + file).c_str());
        if (path.empty()) {
            skipped = true;
            return {};
        }
        EXPECT_TRUE(machine.Start(path)) << path;
        if (!machine.Running())
            return {};
        // The five checks of the ARM program this machine fails on purpose.
        EXPECT_TRUE(machine.ApplyDeliberateDifferences(file)) << "image differs where a patch goes";
        EXPECT_EQ(machine.RunFrames(Frames), Frames) << file;
        return machine.Picture();
    }

    MachineHarness machine;
    bool skipped = false;
};

QImage AsImage(const std::vector<uint16_t> &picture)
{
    QImage image(Width, Height, QImage::Format_RGB16);
    for (int y = 0; y < Height; ++y)
        std::memcpy(image.scanLine(y), picture.data() + y * Width, Width * 2);
    return image;
}

// Console colour of a host pixel: green was widened to six bits by doubling.
uint32_t ConsoleColorOfHost(uint16_t host) { return (host >> 11) | ((host >> 6) & 31) << 5 | (host & 31) << 10; }

struct GoldenCase {
    const char *file;
    const char *golden;
    int resultRegister;  // -1: a picture only; else 0 there means every test passed
};

void PrintTo(const GoldenCase &c, std::ostream *out) { *out << c.file; }

class MachineGoldenFrames : public MachineFrames, public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(MachineGoldenFrames, EqualTheirPictureAfterSixtyFrames)
{
    const GoldenCase &c = GetParam();
    const std::vector<uint16_t> picture = Run(c.file);
    if (skipped) {
        GTEST_SKIP() << "test program " << c.file << " not found: set QUINTAR_TESTROMS";
    }
    ASSERT_EQ(picture.size(), size_t(Width * Height));
    if (c.resultRegister >= 0) {
        EXPECT_EQ(MachineHarness::Cpu().r[c.resultRegister], 0u) << "first failed test";
    }

    const QImage frame = AsImage(picture);
    const std::string path = std::string(RENDER_GOLDEN_DIR) + "/" + c.golden + ".png";
    const char *write = std::getenv("QUINTAR_RENDER_GOLDEN_WRITE");
    if ((write && *write == '1') || !std::filesystem::exists(path)) {
        ASSERT_TRUE(frame.save(QString::fromStdString(path)));
        GTEST_SKIP() << "wrote " << path;
    }
    const QImage golden = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB16);
    ASSERT_EQ(golden.size(), frame.size()) << path;
    int differing = 0;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            differing += reinterpret_cast<const uint16_t *>(golden.constScanLine(y))[x] != picture[y * Width + x];
    EXPECT_EQ(differing, 0) << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Jsmolka, MachineGoldenFrames,
    ::testing::Values(GoldenCase{"jsmolka_ppu_hello.gba", "machine_hello", -1},
                      GoldenCase{"jsmolka_ppu_shades.gba", "machine_shades", -1},
                      GoldenCase{"jsmolka_ppu_stripes.gba", "machine_stripes", -1},
                      GoldenCase{"jsmolka_arm_arm.gba", "machine_arm_passed", 12},
                      GoldenCase{"jsmolka_thumb_thumb.gba", "machine_thumb_passed", 7}),
    [](const auto &info) { return std::string(info.param.golden).substr(8); });

class AuthorPictures : public MachineFrames, public ::testing::WithParamInterface<const char *> {};

TEST_P(AuthorPictures, EqualTheDemoWithNoKeyPressed)
{
    const std::string name = GetParam();
    const std::vector<uint16_t> picture = Run(name + ".gba", "peterlemon/");
    if (skipped) {
        GTEST_SKIP() << "test program " << name << " not found: set QUINTAR_TESTROMS";
    }
    ASSERT_EQ(picture.size(), size_t(Width * Height));

    const std::string path = QuintarTest::TestRomFolder() + "/gba/peterlemon/" + name + ".png";
    const QImage author = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(author.width(), Width) << path;
    ASSERT_EQ(author.height(), Height) << path;
    int differing = 0;
    for (int y = 0; y < Height; ++y) {
        const uint8_t *rgb = author.constScanLine(y);
        for (int x = 0; x < Width; ++x) {
            const uint32_t expected = (rgb[3 * x] >> 3) | (rgb[3 * x + 1] >> 3) << 5 | (rgb[3 * x + 2] >> 3) << 10;
            differing += ConsoleColorOfHost(picture[y * Width + x]) != expected;
        }
    }
    EXPECT_EQ(differing, 0) << name;
}

INSTANTIATE_TEST_SUITE_P(PeterLemon, AuthorPictures,
                         ::testing::Values("HelloWorld", "BGMode0", "BGRotZoomMode3", "BGRotZoomMode5",
                                           "OBJRotZoom4BPP"),
                         [](const auto &info) { return std::string(info.param); });

} // namespace
} // namespace Tavrin::Test
