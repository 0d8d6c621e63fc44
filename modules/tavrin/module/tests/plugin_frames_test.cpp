// The real plug-in loaded by the engine through runrom (offscreen): public
// programs reach their result screens, and files that are no cartridge
// close the module with a message and no crash.
#include "modules/tavrin/module/tests/RunRomProcess.h"
#include "tools/testsupport/TestRoms.h"

#include <gtest/gtest.h>

#include <fstream>

namespace Tavrin::Test {
namespace {

namespace fs = std::filesystem;

class PluginRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.isValid());
        root = fs::path(m_temp.path().toStdString());
        roms = QuintarTest::TestRomFolder();
    }
    QString Rom(char const *name) const { return QString::fromStdString(roms + "/gba/" + name); }
    QString At(char const *name) const { return QString::fromStdString((root / name).string()); }

    fs::path root;
    std::string roms;

private:
    QTemporaryDir m_temp;
};

TEST_F(PluginRunTest, PublicProgramsShowTheirResultScreens)
{
    if (roms.empty())
        GTEST_SKIP() << "public test programs not found (QUINTAR_TESTROMS)";
    // Our own frames were looked at once when the renderer was built and
    // are kept beside its tests; the peterlemon pictures are their author's.
    enum Reference { OurModule, OurRenderer, Author };
    struct Case {
        char const *image;     // below gba/
        char const *reference; // a picture in the folder the kind names
        Reference kind;
        int tolerance;
    } const cases[] = {
        {"jsmolka_ppu_hello.gba", "jsmolka_ppu_hello.png", OurModule, 0},
        {"jsmolka_ppu_shades.gba", "machine_shades.png", OurRenderer, 0},
        {"jsmolka_ppu_stripes.gba", "machine_stripes.png", OurRenderer, 0},
        // FIQ mode banks only r13 and r14 here, so the program's first check
        // of a separate FIQ r8 fails; the machine's own tests hide those checks.
        {"jsmolka_arm_arm.gba", "jsmolka_arm_failed_223.png", OurModule, 0},
        {"jsmolka_thumb_thumb.gba", "machine_thumb_passed.png", OurRenderer, 0},
        {"peterlemon/HelloWorld.gba", "peterlemon/HelloWorld.png", Author, 8},
        {"peterlemon/BGMode0.gba", "peterlemon/BGMode0.png", Author, 8},
        {"peterlemon/BGRotZoomMode3.gba", "peterlemon/BGRotZoomMode3.png", Author, 8},
        {"peterlemon/BGRotZoomMode5.gba", "peterlemon/BGRotZoomMode5.png", Author, 8},
        {"peterlemon/OBJRotZoom4BPP.gba", "peterlemon/OBJRotZoom4BPP.png", Author, 8},
    };
    for (Case const &c : cases) {
        RunResult const result = RunRom(root, {"--frames", "60", "--png", At("frame.png"), Rom(c.image)});
        ASSERT_EQ(result.status, 0) << c.image << ": " << result.err;
        QString const reference = c.kind == OurModule     ? QString(TAVRIN_GOLDEN_DIR "/") + c.reference
                                  : c.kind == OurRenderer ? QString(TAVRIN_RENDER_GOLDEN_DIR "/") + c.reference
                                                          : Rom(c.reference);
        EXPECT_EQ(DifferingPixels(QImage(At("frame.png")), QImage(reference), c.tolerance), 0) << c.image;
    }
}

TEST_F(PluginRunTest, FilesThatAreNoCartridgeCloseTheModuleWithAMessage)
{
    fs::create_directories(root / "images/folder.gba");
    std::ofstream(root / "images/empty.gba");
    {
        std::ofstream big(root / "images/huge.gba", std::ios::binary);
        big.seekp((32 << 20) + 1);
        big.put('\0');
    }
    std::ofstream(root / "images/broken.zip") << "PK\x03\x04 damaged";
    for (char const *name : {"folder.gba", "empty.gba", "huge.gba", "broken.zip", "missing.gba"}) {
        RunResult const result =
            RunRom(root, {"--frames", "2", "--home", At("home"), QString::fromStdString((root / "images" / name).string())});
        EXPECT_EQ(result.status, 1) << name << ": " << result.out << result.err;
        EXPECT_FALSE(result.err.empty()) << name;
    }
    // No battery file was written for any of them.
    std::error_code error;
    for (auto const &entry : fs::recursive_directory_iterator(root / "home", error))
        EXPECT_NE(entry.path().extension(), ".sav") << entry.path();
}

} // namespace
} // namespace Tavrin::Test
