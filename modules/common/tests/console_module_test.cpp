// The module glue as the engine drives it, through the test console
// plug-in: the order in which the module's objects are made and deleted,
// opening and closing the machine, states, reset and the description.
#include "engine/BaseSound.h"
#include "engine/ExtensionSet.h"
#include "engine/ModuleDesc.h"
#include "engine/tests/EngineSandbox.h"
#include "modules/common/tests/TestConsoleProbe.h"
#include "platform/ondrel/Input.h"

#include <gmock/gmock.h>

#include <fstream>
#include <sys/wait.h>
#include <unistd.h>
#include <iterator>

namespace ConsoleGlue::Test {

using namespace ZorvanEngine::Test;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

class ConsoleModuleTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        library = InstallModule("libTestConsole.so", programFolder);
        probe = std::make_unique<TestConsoleProbe>(library);
        probe->FailStateWrites(false);
        MakeEngine().LoadModules();
        ASSERT_EQ(engine->GetModuleCount(), 1);
        probe->ClearLog();
    }

    void TearDown() override
    {
        Sandbox::TearDown();
        probe.reset();
    }

    fs::path Image(std::string const &name, std::string const &content = "image")
    {
        WriteFile(root / name, content);
        return root / name;
    }

    bool Run(fs::path const &image) { return engine->RunFile(Wide(image)); }
    ZorvanEngine::Module &Active() { return *engine->GetActiveModule(); }

    // Writes the module's "Sound" into its key, as the user's settings.
    void StoreModuleSound(bool on)
    {
        ZorvanEngine::Module *module = engine->OpenModule(0);
        module->GetSettings().Set(L"Sound", on, false);
        module->SaveSettings();
        engine->CloseModule(module);
    }

    // The log begins with the sound's close and set-up (which may close it
    // again itself) and ends with the machine's call.
    void ExpectSoundStartedAfreshBefore(std::string const &machineCall)
    {
        std::vector<std::string> const log = probe->Log();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[0], "sound Close");
        EXPECT_EQ(log[1], "sound UpdateSettings");
        EXPECT_EQ(log.back(), machineCall);
    }

    fs::path library;
    std::unique_ptr<TestConsoleProbe> probe;
};

TEST_F(ConsoleModuleTest, ObjectsAreMadeInOrderAndDeletedInOrderAfterOneShutdown)
{
    ASSERT_TRUE(Run(Image("game.qtc")));
    EXPECT_TRUE(engine->GetInput()->IsOpen());
    engine->Shutdown();

    // The engine closes the module, then deletes it, which closes it again:
    // the machine is shut down once.
    EXPECT_THAT(probe->Log({"page ", "sound new", "video new", "input ", "module ", "shutdown", "sound delete",
                            "video delete"}),
                ElementsAre("page new", "sound new", "video new", "input new", "module new", "shutdown",
                            "module delete", "sound delete", "video delete", "input delete", "page delete"));
    EXPECT_FALSE(engine->GetInput()->IsOpen());
}

TEST_F(ConsoleModuleTest, OnlyAStartedMachineIsShutDown)
{
    // Discovery on a first run makes and deletes every module without a game.
    MakeEngine();
    fs::remove_all(root / "config");
    MakeEngine().LoadModules();
    EXPECT_THAT(probe->Log({"module ", "shutdown"}), ElementsAre("module new", "module delete"));

    // A refused image never ran: it is not shut down, so the save of a game
    // of the same name stays byte for byte, also when the engine closes.
    ASSERT_TRUE(Run(Image("game.qtc")));
    std::string const saveName = Narrow(Active().GetSaveName());
    engine->Shutdown();
    WriteFile(saveName, "the player's save");
    fs::create_directories(root / "refused");
    probe->ClearLog();
    EXPECT_FALSE(Run(Image("refused/game.qtc")));
    engine->Shutdown();
    EXPECT_THAT(probe->Log({"start", "shutdown"}), ElementsAre(HasSubstr("refused/game.qtc")));
    EXPECT_THAT(Console(), HasSubstr("Test Console: the image was refused"));
    std::ifstream save(saveName);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(save), {}), "the player's save");
}

TEST_F(ConsoleModuleTest, OpenRomGivesTheMachineTheSaveNameAndTheImage)
{
    fs::path const image = Image("game.qtd");
    ASSERT_TRUE(Run(image));
    std::string const saveName = Narrow(Active().GetSaveName());
    EXPECT_THAT(probe->Log({"video Open", "start"}),
                ElementsAre("video Open", "start " + image.string() + " save " + saveName));
    EXPECT_THAT(saveName, testing::EndsWith("/Test Console/game.save"));
}

// Saves cut short by a kill left their temporary files; the game's next
// start clears those of programs no longer running from the save folder,
// and only them: a running program's write and other files stay.
TEST_F(ConsoleModuleTest, AStartClearsTheTemporaryFilesOfKilledSaves)
{
    fs::path const image = Image("game.qtc");
    ASSERT_TRUE(Run(image));
    // A child that has exited: its process id names no running program.
    pid_t const gone = fork();
    if (gone == 0)
        _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    // Appended piece by piece: GCC 12 warns, falsely, on the same names built with +.
    std::string dead = ".";
    dead.append(std::to_string(gone)).append("-3.tmp");
    std::string running = ".";
    running.append(std::to_string(getppid())).append("-1.tmp");
    std::vector<std::string> left = {Narrow(Active().GetSaveName()) + dead};
    for (int slot : {1, 9})
        left.push_back(Narrow(Active().GetStateName(slot)) + dead);
    fs::path const folder = fs::path(left[0]).parent_path();
    std::vector<std::string> const kept = {(folder / "other.save").string() + running, (folder / "notes.tmp").string(),
                                           (folder / "game.save.tmp").string()};
    engine->Shutdown();
    for (std::string const &name : left)
        WriteFile(name, "half a save");
    for (std::string const &name : kept)
        WriteFile(name, "not ours to clear");

    ASSERT_TRUE(Run(image));
    for (std::string const &name : left)
        EXPECT_FALSE(fs::exists(name)) << name;
    for (std::string const &name : kept)
        EXPECT_TRUE(fs::exists(name)) << name;
}

TEST_F(ConsoleModuleTest, ABatteryNameOfAnyLengthReachesTheMachineWhole)
{
    ASSERT_TRUE(Run(Image(std::string(240, 'g') + ".qtc")));
    std::string const saveName = Narrow(Active().GetSaveName());
    ASSERT_GT(saveName.size(), 300u);
    EXPECT_THAT(probe->Log({"start"}), ElementsAre(testing::EndsWith(" save " + saveName)));
    engine->Shutdown();
    EXPECT_TRUE(fs::exists(saveName)) << "the battery file is written under the whole name";
}

TEST_F(ConsoleModuleTest, SoundOpensOnlyWhenTheEngineAndTheModuleWantIt)
{
    struct Case {
        bool engineSound;
        bool moduleSound;
    };
    for (Case const c : {Case{true, true}, Case{true, false}, Case{false, true}}) {
        StoreModuleSound(c.moduleSound);
        engine->GetSettings().Set(L"Sound", c.engineSound, false);
        ASSERT_TRUE(Run(Image("game.qtc")));
        EXPECT_EQ(Active().GetSound()->IsOpen(), c.engineSound && c.moduleSound)
            << c.engineSound << " " << c.moduleSound;
        engine->Shutdown();
    }
}

TEST_F(ConsoleModuleTest, RunFrameIsFalseOnceTheMachineQuits)
{
    ASSERT_TRUE(Run(Image("short.qtc", "quit:2\n")));
    EXPECT_TRUE(Active().RunFrame());
    EXPECT_FALSE(Active().RunFrame());
}

TEST_F(ConsoleModuleTest, SaveStateWithoutAFileDoesNothing)
{
    ZorvanEngine::Module *module = engine->OpenModule(0);
    EXPECT_FALSE(module->SaveState(1));
    engine->CloseModule(module);
    EXPECT_THAT(probe->Log({"writeState", "Pause"}), testing::IsEmpty());
}

TEST_F(ConsoleModuleTest, StatesAreWrittenAndReadUnderTheSlotsName)
{
    ASSERT_TRUE(Run(Image("game.qtc")));
    std::string const name = Narrow(Active().GetStateName(3));
    probe->ClearLog();

    // The engine is paused while the writer runs.
    EXPECT_TRUE(Active().SaveState(3));
    EXPECT_TRUE(Active().HasState(3));
    EXPECT_THAT(probe->Log(), ElementsAre("Pause", "writeState " + name, "Resume"));

    // Loading starts the sound afresh before the reader.
    probe->ClearLog();
    EXPECT_TRUE(Active().LoadState(3));
    ExpectSoundStartedAfreshBefore("readState " + name);

    // A slot without a file loads nothing.
    EXPECT_FALSE(Active().LoadState(4));
}

TEST_F(ConsoleModuleTest, AFailedWriteIsNoSavedStateEvenWhenAnOlderFileExists)
{
    ASSERT_TRUE(Run(Image("game.qtc")));
    ASSERT_TRUE(Active().SaveState(2));
    probe->FailStateWrites(true);
    EXPECT_FALSE(Active().SaveState(2));
}

TEST_F(ConsoleModuleTest, ResetStartsTheSoundAfreshBeforeTheMachine)
{
    ASSERT_TRUE(Run(Image("game.qtc")));
    probe->ClearLog();
    Active().Reset();
    ExpectSoundStartedAfreshBefore("reset");
}

TEST_F(ConsoleModuleTest, DescriptionCarriesTheModulesTextsAndEveryExtensionSet)
{
    ZorvanEngine::ModuleDesc const *desc = engine->GetModuleDesc(0);
    EXPECT_EQ(Narrow(desc->GetName()), "Test Console");
    EXPECT_EQ(Narrow(desc->GetRegKeyRoot()), "TestConsole");
    EXPECT_EQ(Narrow(desc->GetDescription()), "<p>A console module for tests.</p>");
    EXPECT_EQ(Narrow(desc->GetVersion()), "2.4.0.9");
    ASSERT_EQ(desc->GetExtensionSet().size(), 2u);
    EXPECT_EQ(Narrow(desc->GetExtensionSet()[0]->GetName()), "Test Console Images");
    EXPECT_THAT(desc->GetExtensionSet()[0]->extensions, ElementsAre(Zorvan::String(L".qtc")));
    EXPECT_EQ(Narrow(desc->GetExtensionSet()[1]->GetName()), "Test Console Discs");
    EXPECT_THAT(desc->GetExtensionSet()[1]->extensions, ElementsAre(Zorvan::String(L".qtd")));
}

TEST_F(ConsoleModuleTest, AKeyHeldReachesTheMachinesPadRead)
{
    ASSERT_TRUE(Run(Image("game.qtc")));
    int const start = Active().GetSettings().GetInt(L"vkStart");
    probe->ClearLog();
    Active().RunFrame();
    engine->GetInput()->KeyEvent(start, true);
    Active().RunFrame();
    EXPECT_THAT(probe->Log({"frame"}), ElementsAre("frame 0 pad 0x0", "frame 1 pad 0x80"));
}

} // namespace
} // namespace ConsoleGlue::Test
