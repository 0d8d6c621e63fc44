// The plug-in in the program's real view: the engine finds libBelcrest.so
// among the modules, runs a public program with it, and the view shows the
// program's picture (its author's screenshot), doubled by "ScreenSize" 200%.
#include "engine/BaseVideo.h"
#include "engine/ModuleDesc.h"
#include "engine/tests/EngineSandbox.h"
#include "platform/ondrel/PixelFormat.h"
#include "tools/testsupport/TestRoms.h"

#include <QImage>
#include <QTest>
#include <QWidget>

namespace Belcrest::Test {
namespace {

namespace fs = std::filesystem;
using ZorvanEngine::Test::Wide;

class BelcrestPictureTest : public ZorvanEngine::Test::Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        roms = QuintarTest::TestRomFolder();
        if (roms.empty())
            GTEST_SKIP() << "the public test programs are not there (QUINTAR_TESTROMS)";
        fs::path const bin = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin";
        view = std::make_unique<QWidget>();
        view->resize(540, 440);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        engine = std::make_unique<ZorvanEngine::Engine>(nullptr, nullptr, view.get(), Wide(bin));
        engine->LoadModules();
    }
    void TearDown() override
    {
        Sandbox::TearDown();
        view.reset();
    }

    std::string roms;
    std::unique_ptr<QWidget> view;
};

TEST_F(BelcrestPictureTest, HelloWorldFillsTheViewDoubled)
{
    QImage const golden(QString::fromStdString(roms + "/sms/HelloWorld.png"));
    ASSERT_EQ(golden.size(), QSize(256, 192));
    ASSERT_TRUE(engine->RunFile(Wide(roms + "/sms/HelloWorld.sms"))) << Console();
    ZorvanEngine::Module *module = engine->GetActiveModule();
    ASSERT_EQ(ZorvanEngine::Test::Narrow(module->GetDesc()->GetName()), "Belcrest (SMS-GG)");
    module->GetSettings().Set(L"ScreenSize", L"200%", false);
    module->GetSettings().Set(L"FrameSkip", 0, false);
    module->GetSettings().Set(L"FrameSync", false, false);
    module->UpdateSettings();
    for (int frame = 0; frame < 30; ++frame) {
        ASSERT_TRUE(module->RunFrame());
        QCoreApplication::processEvents();
    }
    QImage const shot = view->grab().toImage();
    Ondrel::Rect const rect = module->GetVideo()->m_renderRect;
    ASSERT_EQ(rect.width, 512);
    ASSERT_EQ(rect.height, 384);
    int wrong = 0;
    for (int y = 0; y < 192; ++y) {
        for (int x = 0; x < 256; ++x) {
            uint16_t const want = Ondrel::Rgb888To565(golden.pixel(x, y) & 0xFFFFFF);
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    uint32_t const got = shot.pixel(rect.x + 2 * x + dx, rect.y + 2 * y + dy) & 0xFFFFFF;
                    wrong += Ondrel::Rgb888To565(got) != want;
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "the view is kept as HelloWorld-view.png";
    if (wrong != 0)
        shot.save(QStringLiteral("HelloWorld-view.png"));
}

} // namespace
} // namespace Belcrest::Test
