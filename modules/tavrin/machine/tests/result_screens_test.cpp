// The result screens of the public CPU programs as the line renderer draws
// them, against pictures kept beside this file. A missing picture (or
// QUINTAR_MACHINE_GOLDEN_WRITE=1) is written instead, for a person to look
// at once; after that any change in a screen fails.
#include "modules/tavrin/testing/MachineHarness.h"
#include "modules/tavrin/testing/PublicPrograms.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>

namespace Tavrin::Test {
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

} // namespace
} // namespace Tavrin::Test
