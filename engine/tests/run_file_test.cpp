// Running a file: path clean-up, zip archives (written here with minizip),
// the choice of module and what a failure leaves behind.
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "engine/tests/EngineSandbox.h"
#include "platform/ondrel/Surface.h"

#include <cstring>
#include <fstream>
#include <iostream>

#include <unistd.h>

namespace ZorvanEngine::Test {
namespace {

class RunFileTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        library = InstallModule("libTestModule.so", programFolder);
        probe = std::make_unique<ModuleProbe>(library);
        MakeEngine().LoadModules();
        ASSERT_EQ(engine->GetModuleCount(), 1);
        probe->Reset();
        games = root / "games";
        WriteFile(games / "puzzle.qtm", "rom");
    }
    void TearDown() override
    {
        engine.reset();
        probe.reset();
        Sandbox::TearDown();
    }

    // A failed run leaves no module, nothing running and the path kept.
    void ExpectNothingRuns(fs::path const &path)
    {
        EXPECT_EQ(engine->GetActiveModule(), nullptr);
        EXPECT_FALSE(engine->IsRunning());
        EXPECT_EQ(Narrow(engine->GetFileName()), path.string());
    }

    fs::path library;
    fs::path games;
    std::unique_ptr<ModuleProbe> probe;
};

TEST_F(RunFileTest, PathsAreUnquotedAndMadeAbsolute)
{
    fs::path const puzzle = games / "puzzle.qtm";
    WriteFile(root / "My.Zipfiles/game.qtm", "rom");
    struct Case {
        std::string given;
        fs::path runs;
    } const cases[] = {
        {puzzle.string(), puzzle},
        {"\"" + puzzle.string() + "\"", puzzle},
        {"puzzle.qtm", puzzle},                  // relative to the working folder
        {"../games/./puzzle.qtm", puzzle},
        // ".zip" inside a folder's name does not make a file an archive.
        {(root / "My.Zipfiles/game.qtm").string(), root / "My.Zipfiles/game.qtm"},
    };
    fs::path const previous = fs::current_path();
    fs::current_path(games);
    for (Case const &c : cases) {
        probe->Reset();
        EXPECT_TRUE(engine->RunFile(Zorvan::String(c.given.c_str()))) << c.given;
        EXPECT_TRUE(engine->IsRunning()) << c.given;
        EXPECT_NE(engine->GetActiveModule(), nullptr) << c.given;
        EXPECT_EQ(Narrow(engine->GetFileName()), c.runs.string()) << c.given;
        EXPECT_EQ(probe->LastRom(), c.runs.string()) << c.given;
        EXPECT_TRUE(engine->GetZippedFileName().IsEmpty()) << c.given;
    }
    fs::current_path(previous);
}

TEST_F(RunFileTest, ZipArchivesRunTheirFirstAcceptedMember)
{
    fs::path const named = games / "bundle.ZIP";
    fs::path const unnamed = games / "bundle.dat"; // found by its signature
    std::string const longName = std::string(300, 'x') + ".qtm";
    fs::path const longNames = games / "long.zip";
    WriteZip(named, {{"readme.txt", "hello"}, {"game.qtm", "rom"}, {"other.qtm", "rom"}});
    fs::copy_file(named, unnamed);
    WriteZip(longNames, {{longName, "rom"}});

    struct Case {
        fs::path archive;
        std::string member;
    } const cases[] = {{named, "game.qtm"}, {unnamed, "game.qtm"}, {longNames, longName}};
    for (Case const &c : cases) {
        probe->Reset();
        EXPECT_TRUE(engine->RunFile(Wide(c.archive))) << c.archive;
        EXPECT_EQ(Narrow(engine->GetZippedFileName()), c.member);
        EXPECT_EQ(probe->LastZipped(), c.member);
        EXPECT_EQ(probe->LastRom(), c.archive.string());
        EXPECT_EQ(probe->Count("OpenRom"), 1);
    }
}

TEST_F(RunFileTest, AMemberNameHoldingAZeroByteIsNeverChosen)
{
    // Chosen by its ending, "notes\0.qtm" would reach the module as "notes".
    fs::path const archive = games / "tricky.zip";
    WriteZip(archive, {{"notes", "text"}, {"notesZ.qtm", "rom"}, {"game.qtm", "rom"}});
    std::string bytes;
    {
        std::ifstream in(archive, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    for (size_t at = bytes.find("notesZ.qtm"); at != std::string::npos; at = bytes.find("notesZ.qtm", at))
        bytes[at + 5] = '\0';
    WriteFile(archive, bytes);

    EXPECT_TRUE(engine->RunFile(Wide(archive)));
    EXPECT_EQ(Narrow(engine->GetZippedFileName()), "game.qtm");
    EXPECT_EQ(probe->LastZipped(), "game.qtm");
}

TEST_F(RunFileTest, ArchivesWithoutAnAcceptedMemberOpenNoModule)
{
    fs::path const empty = games / "empty.zip";
    fs::path const unrelated = games / "docs.zip";
    fs::path const broken = games / "broken.zip";
    fs::path const missing = games / "missing.zip";
    WriteZip(empty, {});
    WriteZip(unrelated, {{"readme.txt", "hello"}});
    WriteFile(broken, "PK\x03\x04 but nothing more");
    for (fs::path const &archive : {empty, unrelated, broken, missing}) {
        EXPECT_FALSE(engine->RunFile(Wide(archive))) << archive;
        ExpectNothingRuns(archive);
    }
    EXPECT_EQ(probe->Count("Construct"), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(RunFileTest, AFileNoModuleAcceptsRunsNothing)
{
    WriteFile(games / "notes.txt", "text");
    EXPECT_FALSE(engine->RunFile(Wide(games / "notes.txt")));
    ExpectNothingRuns(games / "notes.txt");
    EXPECT_FALSE(engine->RunFile(Zorvan::String()));
    EXPECT_EQ(probe->Count("Construct"), 0);
}

// A path that names no file a module could take is refused before any
// module is made for it (a missing file named like a game included), and
// the Console says which path and why.
TEST_F(RunFileTest, UnusablePathsAreRefusedWithTheirReason)
{
    fs::create_directories(games / "folder.qtm");
    WriteFile(games / "locked.qtm", "rom");
    fs::permissions(games / "locked.qtm", fs::perms::none);
    WriteZip(games / "empty.zip", {});
    WriteZip(games / "docs.zip", {{"readme.txt", "hello"}});
    WriteFile(games / "notes.txt", "text");
    struct Case {
        char const *name;
        char const *reason;
        bool needsNonRoot; // root reads every file
    } const cases[] = {
        {"gone.qtm", "The file does not exist", false},
        {"folder.qtm", "The path names a folder", false},
        {"locked.qtm", "The file may not be read", true},
        {"empty.zip", "No file could be read from the zip archive", false},
        {"docs.zip", "No installed console takes any file in the zip archive", false},
        {"notes.txt", "No installed console takes this kind of file", false},
    };
    for (Case const &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && geteuid() == 0) {
            std::cout << c.name << " not tried: run as root, which reads every file\n";
            continue;
        }
        fs::path const path = games / c.name;
        Zorvan::clearConsole();
        EXPECT_FALSE(engine->RunFile(Wide(path)));
        ExpectNothingRuns(path);
        EXPECT_NE(Console().find("Unable to open " + path.string() + ": " + c.reason + "."), std::string::npos)
            << Console();
        EXPECT_EQ(Narrow(engine->GetRefusal()), c.reason);
    }
    EXPECT_EQ(probe->Count("Construct"), 0);
}

TEST_F(RunFileTest, ARefusedFileClosesTheModuleAtOnce)
{
    fs::path const refused = games / "refuse.qtm";
    WriteFile(refused, "rom");
    EXPECT_FALSE(engine->RunFile(Wide(refused)));
    ExpectNothingRuns(refused);
    EXPECT_EQ(probe->Count("OpenRom"), 1);
    EXPECT_EQ(probe->Count("Destroy"), 1);
}

TEST_F(RunFileTest, RunningAnotherFileShutsTheFirstDown)
{
    ASSERT_TRUE(engine->RunFile(Wide(games / "puzzle.qtm")));
    engine->UserPause();
    engine->Pause();
    WriteFile(games / "second.qtm", "rom");
    ASSERT_TRUE(engine->RunFile(Wide(games / "second.qtm")));
    EXPECT_EQ(probe->Count("Close"), 1);
    EXPECT_EQ(probe->Count("Destroy"), 1);
    EXPECT_EQ(probe->Count("OpenRom"), 2);
    EXPECT_FALSE(engine->IsPaused());
    EXPECT_FALSE(engine->IsUserPaused());

    engine->Shutdown();
    EXPECT_EQ(probe->Count("Close"), 2);
    EXPECT_EQ(probe->Count("Destroy"), 2);
    EXPECT_TRUE(engine->GetFileName().IsEmpty());
    EXPECT_FALSE(engine->IsRunning());
}

TEST_F(RunFileTest, TheTestModuleDrawsAFramePerRunFrame)
{
    ASSERT_TRUE(engine->RunFile(Wide(games / "puzzle.qtm")));
    ASSERT_TRUE(engine->GetActiveModule()->RunFrame());
    EXPECT_EQ(probe->Count("RunFrame"), 1);
    Ondrel::Surface *surface = engine->GetDrawingSurface();
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(surface->GetPixelFormat(), Ondrel::PixelFormatRGB565);
    auto pixel = [surface](int x, int y) {
        uint16_t value;
        std::memcpy(&value, surface->Row(y) + 2 * x, sizeof value);
        return value;
    };
    // The 160 x 120 picture unscaled in the middle of the screen.
    int const left = (surface->GetWidth() - 160) / 2;
    int const top = (surface->GetHeight() - 120) / 2;
    EXPECT_EQ(pixel(left + 159, top), Ondrel::Rgb888To565(0x102040)); // the field
    EXPECT_EQ(pixel(left + 4, top), Ondrel::Rgb888To565(0xF0C020));   // the bar, one step in
    EXPECT_EQ(pixel(left - 1, top), 0);                               // beside the picture
}

TEST_F(RunFileTest, ACallersModuleTakesTheMatchingDescription)
{
    auto *accepting = new CallerModule(true); // the engine owns it once it runs
    ASSERT_TRUE(engine->RunFile(Wide(games / "puzzle.qtm"), accepting));
    EXPECT_EQ(engine->GetActiveModule(), accepting);
    EXPECT_EQ(accepting->GetDesc(), engine->GetModuleDesc(0));
    EXPECT_EQ(accepting->settingResets, 1);
    EXPECT_EQ(probe->Count("Construct"), 0);

    CallerModule refusing(false); // dropped, not deleted, when it refuses
    EXPECT_FALSE(engine->RunFile(Wide(games / "puzzle.qtm"), &refusing));
    EXPECT_EQ(engine->GetActiveModule(), nullptr);
}

} // namespace
} // namespace ZorvanEngine::Test
