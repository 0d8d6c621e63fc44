// Files that are no game, given on the command line or chosen in the Open
// dialog: the user is told why, in a box, and the Console is shown in front
// of the main window; the save folders are left byte for byte (also when the program
// ends afterwards); the program stays usable. Files that are no game but
// start as one leave the save folders byte for byte too; a save they cannot
// use is told of as they start.
#include "frontend/tests/RealModulesSandbox.h"

#include "frontend/ConsoleDialog.h"
#include "frontend/FileDialog.h"

#include <QPlainTextEdit>
#include <QTimer>

#include <iostream>
#include <map>
#include <random>
#include <unistd.h>

namespace Frontend::Test {
namespace {

struct BadFile {
    char const *what;
    char const *path;   // under the sandbox's games folder
    char const *reason; // as the box puts it
    bool needsNonRoot;
};

// The files, made by SetUp below: each reason the engine gives before any
// module is asked, then each console's own.
BadFile const kBadFiles[] = {
    {"a missing path", "nowhere/game.gba", "the file does not exist", false},
    {"a folder", "folder/game.nes", "the path names a folder", false},
    {"a file without read permission", "locked/game.nes", "the file may not be read", true},
    {"a zip with no image in it", "zip/game.zip", "no installed console takes any file in the zip archive", false},
    {"a zip with no member", "zip/empty.zip", "no file could be read from the zip archive", false},
    {"a text file of no console", "text/game.txt", "no installed console takes this kind of file", false},
    {"an empty file named .gba", "empty/game.gba", "the image is too small to hold a game", false},
    {"33 MB named .gba", "large/game.gba", "the image is larger than 32 MB", false},
    {"damaged gzip data named .gba.gz", "gzip/game.gba.gz", "the gzip data is damaged", false},
    {"a zip whose .gba fails its check", "zip/damaged-gba.zip", "the zip archive is damaged", false},
    {"1 KB of random bytes named .nes", "random/game.nes", "the file is not a game image for this console", false},
    {"a text file named .nes", "text/game.nes", "the file is text, not a game image", false},
    {"a text file named .sms", "text/game.sms", "the file is text, not a game image", false},
    {"a .nes image cut short", "short/game.nes", "the image is cut short or damaged", false},
    {"a zip whose .sms fails its check", "zip/damaged-sms.zip", "the file is damaged", false},
};

// The box's text for a file refused for `reason`.
std::string FailureMessage(char const *reason)
{
    return std::string("Quintar was unable to open the file: ") + reason + ".  The console will now be displayed.";
}

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
        fs::create_directories(games / "large");
        std::ofstream(games / "large/game.gba");
        fs::resize_file(games / "large/game.gba", 33u << 20);
        fs::create_directories(games / "gzip");
        std::ofstream(games / "gzip/game.gba.gz", std::ios::binary) << std::string("\x1F\x8B\x08\0\0\0\0\0\0\x03", 10)
                                                                    << "not deflate data at all";
        // The header asks for two 16 KB program pages; one follows.
        fs::create_directories(games / "short");
        std::ofstream(games / "short/game.nes", std::ios::binary)
            << std::string("NES\x1A\x02\x00", 6) << std::string(10, '\0') << std::string(16384, '\0');
        std::mt19937 random(32);
        std::string noise(1024, '\0');
        for (char &c : noise)
            c = static_cast<char>(random());
        fs::create_directories(games / "random");
        for (char const *name : {"random/game.nes", "random/game.sms", "random/game.gba"})
            std::ofstream(games / name, std::ios::binary) << noise;
        fs::create_directories(games / "text");
        for (char const *name : {"text/game.nes", "text/game.sms", "text/game.txt"})
            std::ofstream(games / name) << "This is a text file, not a game.\n";
        fs::create_directories(games / "folder/game.nes");
        fs::create_directories(games / "locked");
        std::ofstream(games / "locked/game.nes", std::ios::binary) << noise;
        fs::permissions(games / "locked/game.nes", fs::perms::none);
        // One stored member each; a wrong check value makes the member
        // damaged.
        WriteStoredZip(games / "zip/game.zip", "readme.txt", "hello", 0x3610A686);
        WriteStoredZip(games / "zip/damaged-gba.zip", "game.gba", std::string(1024, '\0'), 0x12345678);
        WriteStoredZip(games / "zip/damaged-sms.zip", "game.sms", std::string(16384, '\0'), 0x12345678);
        // Only the end of the central directory: no member at all.
        std::ofstream(games / "zip/empty.zip", std::ios::binary) << std::string("PK\x05\x06", 4) << std::string(18, '\0');

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

    // Calls inspect from inside the program's events once it has tried the
    // command line's file (the user was told, or the game runs); the program
    // first waits for its window to be shown, and its events run then too.
    template <typename Inspect> void WhenTheFileWasTried(Inspect inspect)
    {
        auto *timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [this, timer, inspect] {
            if (!ourEngine || (messages.empty() && !ourEngine->IsRunning()))
                return;
            timer->stop();
            timer->deleteLater();
            inspect();
        });
        timer->start(0);
    }

    // Only the start's word on a save it cannot use, when there is one.
    void ExpectTold(size_t told) const
    {
        ASSERT_EQ(messages.size(), told) << (messages.empty() ? std::string() : messages[0].text);
        if (told) {
            EXPECT_NE(messages[0].text.find("is not a save of this game"), std::string::npos) << messages[0].text;
        }
    }

    // The odd start runs as a game: frames go by.
    static void ExpectItRuns(int frames)
    {
        ASSERT_TRUE(ourEngine->IsRunning());
        for (int i = 0; i < frames; ++i)
            ourEngine->GetActiveModule()->RunFrame();
    }

    // A zip archive of one stored member; crc is the check value written
    // for it.
    static void WriteStoredZip(fs::path const &path, std::string const &name, std::string const &data, uint32_t crc)
    {
        fs::create_directories(path.parent_path());
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
        if (!file.needsNonRoot || geteuid() != 0)
            return false;
        std::cout << file.what << " not tried: run as root, which reads every file\n";
        return true;
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
        WhenTheFileWasTried([&] {
            inspected = true;
            QWidget *frame = ourEngine ? ourEngine->GetAppHwnd() : nullptr;
            ASSERT_NE(frame, nullptr);
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, FailureMessage(file.reason));
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
        WhenTheFileWasTried([&] {
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
        EXPECT_EQ(messages[0].text, FailureMessage(file.reason));
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
} // namespace Frontend::Test
