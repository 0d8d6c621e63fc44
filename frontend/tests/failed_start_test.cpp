// Files that are no game, given on the command line or chosen in the Open
// dialog: the user is told and the Console, in front of the main window,
// says why; the save folders are left byte for byte (also when the program
// ends afterwards); the program stays usable.
#include "frontend/tests/RealModulesSandbox.h"

#include "frontend/ConsoleDialog.h"
#include "frontend/FileDialog.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <QUuid>

#include <map>
#include <random>
#include <unistd.h>

namespace {

using namespace FrontendTest;

constexpr char kFailureMessage[] = "Quintar was unable to open the file.  Most often this is due to insufficient "
                                   "memory.  The console will now be displayed.";

struct BadFile {
    char const *what;
    char const *path; // under the sandbox's games folder; every one is called "game"
    bool needsNonRoot;
};

// The files, made by Make below.
BadFile const kBadFiles[] = {
    {"a missing path", "nowhere/game.gba", false},
    {"an empty file", "empty/game.gba", false},
    {"1 KB of random bytes", "random/game.nes", false},
    // (The Z80 consoles run any image they are given, short ones padded, as
    // the console runs whatever a cartridge holds: a text named .sms starts.)
    {"a text file named .nes", "text/game.nes", false},
    {"a folder", "folder/game.nes", false},
    {"a file without read permission", "locked/game.nes", true},
    {"a zip with no image in it", "zip/game.zip", false},
};

class FailedStartTest : public RealModulesSandbox {
protected:
    void SetUp() override
    {
        RealModulesSandbox::SetUp();
        if (HasFatalFailure())
            return;
        games = root / "games";
        fs::create_directories(games / "empty");
        std::ofstream(games / "empty/game.gba");
        std::mt19937 random(32);
        std::string noise(1024, '\0');
        for (char &c : noise)
            c = static_cast<char>(random());
        fs::create_directories(games / "random");
        std::ofstream(games / "random/game.nes", std::ios::binary) << noise;
        fs::create_directories(games / "text");
        std::ofstream(games / "text/game.nes") << "This is a text file, not a game.\n";
        fs::create_directories(games / "folder/game.nes");
        fs::create_directories(games / "locked");
        std::ofstream(games / "locked/game.nes", std::ios::binary) << noise;
        fs::permissions(games / "locked/game.nes", fs::perms::none);
        WriteZipWithoutImage(games / "zip/game.zip");

        // Every console has a save of a game called "game" already.
        for (Console const &console : Consoles()) {
            fs::path const folder = root / "home/Documents/Saved Game Files" / console.name;
            fs::create_directories(folder);
            std::ofstream(folder / "game.save", std::ios::binary) << noise.substr(0, 182);
        }
    }

    static void WriteZipWithoutImage(fs::path const &path)
    {
        // One stored member, "readme.txt", holding "hello".
        fs::create_directories(path.parent_path());
        std::string const name = "readme.txt";
        std::string const data = "hello";
        uint32_t const crc = 0x3610A686; // of "hello"
        auto le16 = [](std::string &out, uint16_t v) { out += char(v & 0xFF), out += char(v >> 8); };
        auto le32 = [&](std::string &out, uint32_t v) { le16(out, uint16_t(v)), le16(out, uint16_t(v >> 16)); };
        std::string zip;
        le32(zip, 0x04034B50), le16(zip, 10), le16(zip, 0), le16(zip, 0), le16(zip, 0), le16(zip, 0);
        le32(zip, crc), le32(zip, uint32_t(data.size())), le32(zip, uint32_t(data.size()));
        le16(zip, uint16_t(name.size())), le16(zip, 0);
        zip += name + data;
        uint32_t const central = uint32_t(zip.size());
        le32(zip, 0x02014B50), le16(zip, 20), le16(zip, 10), le16(zip, 0), le16(zip, 0), le16(zip, 0), le16(zip, 0);
        le32(zip, crc), le32(zip, uint32_t(data.size())), le32(zip, uint32_t(data.size()));
        le16(zip, uint16_t(name.size())), le16(zip, 0), le16(zip, 0), le16(zip, 0), le16(zip, 0);
        le32(zip, 0), le32(zip, 0);
        zip += name;
        uint32_t const centralSize = uint32_t(zip.size()) - central;
        le32(zip, 0x06054B50), le16(zip, 0), le16(zip, 0), le16(zip, 1), le16(zip, 1);
        le32(zip, centralSize), le32(zip, central), le16(zip, 0);
        std::ofstream(path, std::ios::binary) << zip;
    }

    // Every file and folder under the save root, with its contents.
    std::map<std::string, std::string> SaveFolders() const
    {
        std::map<std::string, std::string> tree;
        fs::path const saves = root / "home/Documents/Saved Game Files";
        for (auto const &entry : fs::recursive_directory_iterator(saves)) {
            std::string contents = "<folder>";
            if (entry.is_regular_file()) {
                std::ifstream in(entry.path(), std::ios::binary);
                contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            }
            tree[fs::relative(entry.path(), saves).string()] = contents;
        }
        return tree;
    }

    // What differs between two pictures of the save folders, for the eye.
    static std::string Changes(std::map<std::string, std::string> const &before,
                               std::map<std::string, std::string> const &after)
    {
        std::string changes;
        for (auto const &[name, contents] : after) {
            auto const old = before.find(name);
            if (old == before.end())
                changes += " added " + name + " (" + std::to_string(contents.size()) + " bytes);";
            else if (old->second != contents)
                changes += " changed " + name + " (" + std::to_string(old->second.size()) + " -> " +
                           std::to_string(contents.size()) + " bytes);";
        }
        for (auto const &[name, contents] : before) {
            if (!after.count(name))
                changes += " removed " + name + ";";
        }
        return changes;
    }

    static bool Skipped(BadFile const &file)
    {
        return file.needsNonRoot && geteuid() == 0;
    }

    // The Console shown in front of the frame, with the reason in it.
    void ExpectTheConsoleInFront(QWidget *owner)
    {
        auto *console = qobject_cast<ConsoleDialog *>(ShownWindow("ConsoleDialog"));
        ASSERT_NE(console, nullptr) << "no Console";
        EXPECT_TRUE(IsTransientFor(console, owner)) << "the Console can go behind the main window";
        Settle();
        EXPECT_EQ(QApplication::activeWindow(), console) << "the Console is not the window in front";
        EXPECT_TRUE(console->GetTextBox()->toPlainText().contains(QStringLiteral("game"))) << "the Console says nothing";
        EXPECT_FALSE(owner->isEnabled());
        console->OnClose();
        Settle();
        EXPECT_TRUE(owner->isEnabled()) << "the main window stays disabled";
    }

    fs::path games;
};

TEST_F(FailedStartTest, FromTheCommandLine)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first";
    app->SetProgramFolder(Zorvan::String(programFolder.c_str()));
    // Starts the program once, so that every folder a first start makes is there.
    app->SetInstanceName(QStringLiteral("Quintar.MainFrame-test-") + QUuid::createUuid().toString(QUuid::Id128));
    QTimer::singleShot(0, [&] { dynamic_cast<CGameLoop *>(app->GetAppModule().GetMessageLoop())->Quit(0); });
    ASSERT_EQ(app->Run(QString()), 0);

    for (BadFile const &file : kBadFiles) {
        SCOPED_TRACE(file.what);
        if (Skipped(file))
            continue;
        messages.clear();
        auto const before = SaveFolders();
        app->SetInstanceName(QStringLiteral("Quintar.MainFrame-test-") + QUuid::createUuid().toString(QUuid::Id128));
        bool inspected = false;
        QTimer::singleShot(0, [&] {
            inspected = true;
            QWidget *frame = ourEngine ? ourEngine->GetAppHwnd() : nullptr;
            ASSERT_NE(frame, nullptr);
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, kFailureMessage);
            ExpectTheConsoleInFront(frame);
            EXPECT_FALSE(ourEngine->IsRunning());
            dynamic_cast<CGameLoop *>(app->GetAppModule().GetMessageLoop())->Quit(0);
        });
        EXPECT_EQ(app->Run(QString::fromStdString((games / file.path).string())), 0);
        EXPECT_TRUE(inspected);
        EXPECT_EQ(Changes(before, SaveFolders()), "");
    }
    app->SetProgramFolder(Zorvan::String());
}

TEST_F(FailedStartTest, FromTheOpenDialog)
{
    MakeConsoleFrame();
    ASSERT_FALSE(HasFatalFailure());
    QString chosen;
    SetQtOpenFileDialog([&](QWidget *, OpenFileRequest &request) {
        request.path = chosen;
        return true;
    });
    for (BadFile const &file : kBadFiles) {
        SCOPED_TRACE(file.what);
        if (Skipped(file))
            continue;
        messages.clear();
        engine().Shutdown(); // a game that ran saves the normal way first
        auto const before = SaveFolders();
        chosen = QString::fromStdString((games / file.path).string());
        frame->OnCommand(ID_FILE_OPEN);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, kFailureMessage);
        ExpectTheConsoleInFront(frame.get());
        EXPECT_EQ(Changes(before, SaveFolders()), "");

        // Still usable: a game starts.
        ASSERT_TRUE(engine().RunFile(Zorvan::String(Game(Consoles()[0]).c_str())));
        EXPECT_TRUE(engine().GetActiveModule()->RunFrame());
    }
    SetQtOpenFileDialog(nullptr);
    frame.reset();
    // The program ends without touching the saves either.
    EXPECT_EQ(SaveFolders().at("Tavrin (GameBoy Advance)/game.save").size(), 182u);
}

} // namespace
