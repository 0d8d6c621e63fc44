// A running module's frames reach the game view: the test module draws
// through its video, the display presents, and the view is repainted with
// the picture, also when the view suspended the display after its own paint.
#include "engine/BaseVideo.h"
#include "engine/tests/EngineSandbox.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/PixelFormat.h"

#include <QImage>
#include <QTest>
#include <QWidget>

namespace ZorvanEngine::Test {
namespace {

// Counts the paints the widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

class ModulePictureTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        InstallModule("libTestModule.so", programFolder);
        view = std::make_unique<QWidget>();
        view->resize(240, 320);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        engine = std::make_unique<ZorvanEngine::Engine>(nullptr, nullptr, view.get(), Wide(programFolder));
        engine->LoadModules();
        WriteFile(root / "game.qtm", "rom");
        ASSERT_TRUE(engine->RunFile(Wide(root / "game.qtm")));
        ASSERT_NE(engine->GetActiveModule()->GetVideo(), nullptr);
    }

    void TearDown() override
    {
        Sandbox::TearDown();
        view.reset();
    }

    // One frame of the module, after the view's own paint has suspended the
    // display as it does after every paint; true when the view was painted.
    bool RunFrame()
    {
        QCoreApplication::processEvents();
        engine->GetDisplay()->Suspend();
        PaintCounter counter(view.get());
        engine->GetActiveModule()->RunFrame();
        QCoreApplication::processEvents();
        return counter.paints > 0;
    }

    // The view's pixel as RGB565, the form the picture was drawn in.
    uint16_t ViewPixel(QImage const &shot, int x, int y) const
    {
        return Ondrel::Rgb888To565(shot.pixel(x, y) & 0xFFFFFF);
    }

    std::unique_ptr<QWidget> view;
};

TEST_F(ModulePictureTest, EveryFrameIsPresentedInTheView)
{
    uint16_t const field = Ondrel::Rgb888To565(0x102040);
    uint16_t const bar = Ondrel::Rgb888To565(0xF0C020);
    // The 160 x 120 picture unscaled in the middle of the 240 x 320 view:
    // at (40, 100); the bar of frame n starts at picture x 4n, 20 wide.
    ASSERT_TRUE(RunFrame());
    QImage shot = view->grab().toImage();
    EXPECT_EQ(ViewPixel(shot, 40 + 4, 150), bar);
    EXPECT_EQ(ViewPixel(shot, 40 + 23, 150), bar);
    EXPECT_EQ(ViewPixel(shot, 40 + 24, 150), field);
    EXPECT_EQ(ViewPixel(shot, 40 + 159, 219), field);
    EXPECT_EQ(ViewPixel(shot, 39, 150), 0);
    EXPECT_EQ(ViewPixel(shot, 120, 99), 0);

    // The next frame is presented too, with the bar moved on.
    ASSERT_TRUE(RunFrame());
    shot = view->grab().toImage();
    EXPECT_EQ(ViewPixel(shot, 40 + 4, 150), field);
    EXPECT_EQ(ViewPixel(shot, 40 + 8, 150), bar);
    EXPECT_EQ(ViewPixel(shot, 40 + 27, 150), bar);
}

} // namespace
} // namespace ZorvanEngine::Test
