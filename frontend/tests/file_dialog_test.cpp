// The Open dialog accepts a path typed into its file name field when it
// names an existing file, wherever it lies and whichever file type is chosen.
#include "frontend/FileDialog.h"

#include "frontend/tests/FrontendSandbox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace Frontend::Test {
namespace {

class FileDialogTest : public Sandbox {};

TEST_F(FileDialogTest, OpenIsEnabledForATypedPathOfAnExistingFile)
{
    fs::path const shown = root / "shown";
    fs::path const elsewhere = root / "elsewhere";
    fs::create_directories(shown);
    fs::create_directories(elsewhere);
    for (fs::path const &file : {elsewhere / "game.gba", elsewhere / "game.sms", shown / "here.gba"})
        std::ofstream(file) << "a game\n";

    struct Case {
        char const *what;
        std::string typed;
        bool enabled;
    } const cases[] = {
        {"a file of another type in another folder", (elsewhere / "game.gba").string(), true},
        {"a file of another type in the folder shown", "here.gba", true},
        {"a file of the type chosen", (elsewhere / "game.sms").string(), true},
        {"a file in a folder far away", TestModuleLibrary().string(), true},
        {"nothing", "", false},
    };
    QWidget owner;
    owner.show();
    for (Case const &c : cases) {
        SCOPED_TRACE(c.what);
        OpenFileRequest request;
        // The type chosen is the first, which is not the typed file's.
        request.filter = QStringLiteral("MasterSystem ROM (*.sms)|*.sms|GameBoy Advance ROM (*.gba)|*.gba|"
                                        "All Files (*.*)|*.*||");
        request.filterIndex = 1;
        request.initialFolder = QString::fromStdString(shown.string());
        std::optional<bool> enabled;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            QPushButton *open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
            if (field && open) {
                // Typed a key at a time, as a user types.
                for (QChar const key : QString::fromStdString(c.typed)) {
                    QTest::keyClicks(field, QString(key));
                    QTest::qWait(5);
                }
                // The dialog reads the folders named meanwhile.
                QTest::qWait(200);
                enabled = open->isEnabled();
            }
            dialog->reject();
        });
        EXPECT_FALSE(GetOpenFileName(&owner, request, false));
        ASSERT_TRUE(enabled.has_value()) << "not Qt's own dialog";
        EXPECT_EQ(*enabled, c.enabled);
    }
}

} // namespace
} // namespace Frontend::Test
