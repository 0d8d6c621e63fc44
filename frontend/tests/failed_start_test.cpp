// Files that are no game, given on the command line or chosen in the Open
// dialog: the user is told and the Console, in front of the main window,
// says why; the save folders are left byte for byte (also when the program
// ends afterwards); the program stays usable. Files that are no game but
// start as one leave the save folders byte for byte too; a save they cannot
// use is told of as they start.
#include "frontend/tests/RealModulesSandbox.h"

#include "frontend/ConsoleDialog.h"
#include "frontend/FileDialog.h"

#include <QPlainTextEdit>
#include <QTimer>

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

// The files, made by SetUp below.
BadFile const kBadFiles[] = {
    {"a missing path", "nowhere/game.gba", false},
    {"an empty file", "empty/game.gba", false},
    {"1 KB of random bytes", "random/game.nes", false},
    {"a text file named .nes", "text/game.nes", false},
    {"a text file named .sms", "text/game.sms", false},
    {"a folder", "folder/game.nes", false},
    {"a file without read permission", "locked/game.nes", true},
    {"a zip with no image in it", "zip/game.zip", false},
};

// Files that are no game but start as one: the Z80 consoles run whatever a
// cartridge of 1 KB or more holds that is not text, and the handheld runs an
// image whatever its header says. While such a "game" has not written its
// save memory, the save of the same name stays as it was, whatever it holds.
struct OddStart {
    char const *what;
    char const *path;    // under the sandbox's games folder
    char const *console; // the save folder of the console that runs it
    int frames;          // run before the program or the game ends
};

OddStart const kOddStarts[] = {
    {"1 KB of random bytes named .sms", "random/game.sms", "Belcrest (SMS-GG)", 60},
    {"1 KB of random bytes named .gba", "random/game.gba", "Tavrin (GameBoy Advance)", 60},
};

// A save that console loads: one 16 KB page of cartridge RAM for the Z80
// consoles; the handheld's header with two bytes of SRAM (plain, as old
// files are read).
std::string UsableSave(std::string const &console)
{
    if (console == "Belcrest (SMS-GG)") {
        std::string page(16384, '\0');
        for (size_t i = 0; i < page.size(); ++i)
            page[i] = static_cast<char>(i * 7 + 3);
        return page;
    }
    return std::string("SAV\x1A\x01\x01\x00", 7) + std::string(9, '\0') + "\x12\x34";
}

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
        for (char const *name : {"random/game.nes", "random/game.sms", "random/game.gba"})
            std::ofstream(games / name, std::ios::binary) << noise;
        fs::create_directories(games / "text");
        for (char const *name : {"text/game.nes", "text/game.sms"})
            std::ofstream(games / name) << "This is a text file, not a game.\n";
        fs::create_directories(games / "folder/game.nes");
        fs::create_directories(games / "locked");
        std::ofstream(games / "locked/game.nes", std::ios::binary) << noise;
        fs::permissions(games / "locked/game.nes", fs::perms::none);
        WriteZipWithoutImage(games / "zip/game.zip");

        // Every console has a save of a game called "game" already.
        wrongSizeSave = noise.substr(0, 182);
        for (Console const &console : Consoles())
            WriteSave(console.name, wrongSizeSave);
    }

    fs::path SavePath(std::string const &console) const
    {
        return root / "home/Documents/Saved Game Files" / console / "game.save";
    }

    void WriteSave(std::string const &console, std::string const &bytes) const
    {
        fs::create_directories(SavePath(console).parent_path());
        std::ofstream(SavePath(console), std::ios::binary | std::ios::trunc) << bytes;
    }

    // Each odd start with each kind of save of its console: act(file, told)
    // starts it, runs it and ends it; the save folders must be as they were,
    // and a save it cannot use is told (told: the messages expected).
    template <typename Act> void ForEachOddStart(Act act)
    {
        for (OddStart const &file : kOddStarts) {
            for (bool usable : {true, false}) {
                SCOPED_TRACE(std::string(file.what) + (usable ? ", a save it loads" : ", a save of the wrong size"));
                WriteSave(file.console, usable ? UsableSave(file.console) : wrongSizeSave);
                messages.clear();
                auto const before = SaveFolders();
                act(games / file.path, file.frames, usable ? 0u : 1u);
                EXPECT_EQ(Changes(before, SaveFolders()), "");
            }
        }
    }

    // The main frame over the consoles, its Open dialog answering `chosen`.
    void MakeFrameWithOpenDialog()
    {
        MakeConsoleFrame();
        if (HasFatalFailure())
            return;
        SetQtOpenFileDialog([this](QWidget *, OpenFileRequest &request) {
            request.path = chosen;
            return true;
        });
    }

    // Makes the program's Run return, from inside its game loop.
    void QuitProgram() { dynamic_cast<CGameLoop *>(app->GetAppModule().GetMessageLoop())->Quit(0); }

    // Only the start's word on a save it cannot use, when there is one.
    void ExpectTold(size_t told) const
    {
        ASSERT_EQ(messages.size(), told) << (messages.empty() ? std::string() : messages[0].text);
        if (told)
            EXPECT_NE(messages[0].text.find("is not a save of this game"), std::string::npos) << messages[0].text;
    }

    // The odd start runs as a game: frames go by.
    static void ExpectItRuns(int frames)
    {
        ASSERT_TRUE(ourEngine->IsRunning());
        for (int i = 0; i < frames; ++i)
            ourEngine->GetActiveModule()->RunFrame();
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
    std::string wrongSizeSave;
    QString chosen;
};

TEST_F(FailedStartTest, FromTheCommandLine)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first";
    app->SetProgramFolder(Zorvan::String(programFolder.c_str()));
    // Starts the program once, so that every folder a first start makes is there.
    app->SetInstanceName(FreshInstanceName());
    QTimer::singleShot(0, [&] { QuitProgram(); });
    ASSERT_EQ(app->Run(QString()), 0);

    for (BadFile const &file : kBadFiles) {
        SCOPED_TRACE(file.what);
        if (Skipped(file))
            continue;
        messages.clear();
        auto const before = SaveFolders();
        app->SetInstanceName(FreshInstanceName());
        bool inspected = false;
        QTimer::singleShot(0, [&] {
            inspected = true;
            QWidget *frame = ourEngine ? ourEngine->GetAppHwnd() : nullptr;
            ASSERT_NE(frame, nullptr);
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, kFailureMessage);
            ExpectTheConsoleInFront(frame);
            EXPECT_FALSE(ourEngine->IsRunning());
            QuitProgram();
        });
        EXPECT_EQ(app->Run(QString::fromStdString((games / file.path).string())), 0);
        EXPECT_TRUE(inspected);
        EXPECT_EQ(Changes(before, SaveFolders()), "");
    }
    app->SetProgramFolder(Zorvan::String());
}

TEST_F(FailedStartTest, OddStartsFromTheCommandLineLeaveTheSavesAlone)
{
    if (!app)
        GTEST_SKIP() << "another test made a plain QApplication first";
    app->SetProgramFolder(Zorvan::String(programFolder.c_str()));
    ForEachOddStart([&](fs::path const &path, int frames, size_t told) {
        app->SetInstanceName(FreshInstanceName());
        bool inspected = false;
        QTimer::singleShot(0, [&] {
            inspected = true;
            ExpectItRuns(frames);
            ExpectTold(told);
            QuitProgram();
        });
        // The program ends with the game running.
        EXPECT_EQ(app->Run(QString::fromStdString(path.string())), 0);
        EXPECT_TRUE(inspected);
        ExpectTold(told);
    });
    app->SetProgramFolder(Zorvan::String());
}

TEST_F(FailedStartTest, OddStartsFromTheOpenDialogLeaveTheSavesAlone)
{
    MakeFrameWithOpenDialog();
    ASSERT_FALSE(HasFatalFailure());
    ForEachOddStart([&](fs::path const &path, int frames, size_t told) {
        chosen = QString::fromStdString(path.string());
        frame->OnCommand(ID_FILE_OPEN);
        ExpectItRuns(frames);
        engine().Shutdown();
        ExpectTold(told);
    });
    SetQtOpenFileDialog(nullptr);
}

// A game that writes its cartridge RAM over a save of the wrong size: the
// user is told as it starts that the save cannot be used, and as the game's
// save replaces it that it was kept aside whole.
TEST_F(FailedStartTest, AGameThatWritesItsRamKeepsTheSaveItCouldNotUseAside)
{
    MakeConsoleFrame();
    ASSERT_FALSE(HasFatalFailure());
    // DI; cartridge RAM in at $8000; write $5A there; HALT.
    std::string rom(0x8000, '\0');
    std::string const code = {'\xF3', '\x3E', '\x08', '\x32', '\xFC', '\xFF', '\x3E', '\x5A', '\x32', '\x00', '\x80', '\x76'};
    rom.replace(0, code.size(), code);
    fs::create_directories(games / "writer");
    std::ofstream(games / "writer/game.sms", std::ios::binary) << rom;
    auto const before = SaveFolders();
    ASSERT_TRUE(engine().RunFile(Zorvan::String((games / "writer/game.sms").c_str())));
    ExpectItRuns(10);
    ExpectTold(1);
    engine().Shutdown();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].text.find("moved aside as " + SavePath("Belcrest (SMS-GG)").string() + ".damaged"),
              std::string::npos)
        << messages[1].text;
    auto const after = SaveFolders();
    EXPECT_EQ(after.at("Belcrest (SMS-GG)/game.save.damaged"), wrongSizeSave);
    EXPECT_EQ(after.at("Belcrest (SMS-GG)/game.save").size(), 16384u);
    EXPECT_EQ(Changes(before, after),
              " changed Belcrest (SMS-GG)/game.save (182 -> 16384 bytes); added Belcrest (SMS-GG)/game.save.damaged "
              "(182 bytes);");
}

TEST_F(FailedStartTest, FromTheOpenDialog)
{
    MakeFrameWithOpenDialog();
    ASSERT_FALSE(HasFatalFailure());
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
