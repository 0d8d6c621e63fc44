// The engine object: its settings table and how settings are kept and
// applied (display, throttle, thread priority), messages, key forwarding and
// the pad's share of the screen.
#include "engine/AppModule.h"
#include "engine/PadSkin.h"
#include "engine/Registry.h"
#include "engine/tests/EngineSandbox.h"
#include "platform/ondrel/Display.h"
#include "platform/ondrel/Input.h"

#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace ZorvanEngine::Test {
namespace {

class EngineTest : public Sandbox {
protected:
    static void StoreSetting(wchar_t const *name, uint32_t value)
    {
        Registry key(HKEY_CURRENT_USER, Engine::GetRegKeyRoot(), 1);
        key.WriteDWORD(name, value);
    }
    static void StoreSetting(wchar_t const *name, Zorvan::String const &value)
    {
        Registry key(HKEY_CURRENT_USER, Engine::GetRegKeyRoot(), 1);
        key.WriteString(name, value);
    }
};

TEST_F(EngineTest, ConstructionSetsTheGlobalAndTheDefaults)
{
    EXPECT_EQ(ourEngine, nullptr);
    Engine &e = MakeEngine();
    EXPECT_EQ(ourEngine, &e);
    EXPECT_EQ(Narrow(e.GetPath()), programFolder.string());

    // The defaults that depend on the user's folders and the screen; what
    // the fixed ones do is seen where they act.
    PropertyMap &s = e.GetSettings();
    EXPECT_EQ(Narrow(s.GetString(L"ROMPath")), Documents().string());
    EXPECT_TRUE(fs::is_directory(Documents()));
    EXPECT_EQ(Narrow(s.GetString(L"SavedGameRoot")), (Documents() / "Saved Game Files").string());
    EXPECT_EQ(Narrow(Engine::GetDefaultSavePath()), (Documents() / "Saved Game Files").string());
    EXPECT_EQ(Narrow(s.GetString(L"BGFileName")), (programFolder / "QuintarLogo.bmp").string());
    EXPECT_GT(s.GetInt(L"DesktopWidth"), 0);
    EXPECT_GT(s.GetInt(L"DesktopHeight"), 0);
    EXPECT_FALSE(s.Contains(L"ShouldLoad"));

    EXPECT_NE(e.GetDisplay(), nullptr);
    EXPECT_EQ(e.GetDisplay()->GetRotation(), 0) << "the default orientation leaves the display unturned";
    EXPECT_NE(e.GetDrawingSurface(), nullptr);
    EXPECT_NE(e.GetWindow(), nullptr);
    EXPECT_EQ(e.GetPadSkinMgr().GetSkins().size(), 1u);

    engine.reset();
    EXPECT_EQ(ourEngine, nullptr);
}

TEST_F(EngineTest, TheProgramFolderIsTheExecutablesByDefault)
{
    Engine e(nullptr, nullptr, nullptr);
    EXPECT_EQ(Narrow(e.GetPath()), fs::read_symlink("/proc/self/exe").parent_path().string());
}

TEST_F(EngineTest, StoredSettingsAreReadOnlyAfterTheFirstRun)
{
    StoreSetting(L"Volume", 80);
    MakeEngine();
    EXPECT_EQ(engine->GetSettings().GetInt(L"Volume"), 50);
    engine.reset(); // saves its settings

    StoreSetting(L"ShouldLoad", 1);
    StoreSetting(L"Volume", 80);
    StoreSetting(L"FullScreen", 1); // transient: never read
    MakeEngine();
    EXPECT_EQ(engine->GetSettings().GetInt(L"Volume"), 80);
    EXPECT_FALSE(engine->GetSettings().GetBoolean(L"FullScreen"));
}

TEST_F(EngineTest, AStoredSavedGameRootThatIsGoneIsReplacedByTheDefault)
{
    fs::create_directories(root / "saves");
    StoreSetting(L"ShouldLoad", 1);
    StoreSetting(L"SavedGameRoot", Wide(root / "saves"));
    EXPECT_EQ(Narrow(MakeEngine().GetSettings().GetString(L"SavedGameRoot")), (root / "saves").string());
    engine.reset();

    StoreSetting(L"SavedGameRoot", Wide(root / "gone"));
    EXPECT_EQ(Narrow(MakeEngine().GetSettings().GetString(L"SavedGameRoot")),
              (Documents() / "Saved Game Files").string());
}

TEST_F(EngineTest, SavingKeepsTransientSettingsOut)
{
    MakeEngine().GetSettings().Set(L"Volume", 70, false);
    engine->SaveSettings();
    Registry key(HKEY_CURRENT_USER, Engine::GetRegKeyRoot(), 0);
    EXPECT_EQ(key.ReadDWORD(L"Volume", 0), 70u);
    EXPECT_FALSE(key.ValueExists(L"FullScreen"));
    EXPECT_FALSE(key.ValueExists(L"DesktopWidth"));
    EXPECT_FALSE(key.ValueExists(L"TaskBarSize"));
}

TEST_F(EngineTest, DisplayDriversThreeAndTwoAreTheSameDisplay)
{
    MakeEngine();
    std::string const rawLine = "Display Driver: RawFrameBuffer with GAPI fallback.\n";
    EXPECT_NE(Console().find(rawLine), std::string::npos) << Console();
    Ondrel::Display const *first = engine->GetDisplay();

    Zorvan::clearConsole();
    engine->GetSettings().Set(L"DisplayDriver", 2, false);
    engine->UpdateSettings();
    EXPECT_EQ(engine->GetDisplay(), first);
    EXPECT_EQ(Console().find("Display Driver"), std::string::npos);

    struct Case {
        int driver;
        char const *line;
    } const cases[] = {{0, "Display Driver: GDI\n"}, {1, "Display Driver: GAPI\n"}, {9, "Display Driver: Undefined\n"}};
    for (Case const &c : cases) {
        Zorvan::clearConsole();
        engine->GetSettings().Set(L"DisplayDriver", c.driver, false);
        engine->InitDisplay();
        EXPECT_EQ(Console(), c.line);
        EXPECT_EQ(engine->GetOndrel()->GetDisplayDriver(), c.driver);
    }
}

TEST_F(EngineTest, OrientationTurnsTheDisplay)
{
    MakeEngine();
    struct Case {
        wchar_t const *orientation;
        int rotation;
    } const cases[] = {{L"East", 1}, {L"South", 2}, {L"West", 3}, {L"Up", 4}, {L"north", 4}, {L"North", 0}};
    int driver = 0;
    for (Case const &c : cases) {
        engine->GetSettings().Set(L"Orientation", c.orientation, false);
        engine->GetSettings().Set(L"DisplayDriver", driver, false); // a new driver rebuilds the display
        driver = 1 - driver;
        engine->InitDisplay();
        EXPECT_EQ(engine->GetDisplay()->GetRotation(), c.rotation) << Narrow(c.orientation);
    }
}

TEST_F(EngineTest, ThreadPrioritySettingsMapToPlatformPriorities)
{
    int const expected[][2] = {{0, 7}, {1, 5}, {2, 4}, {3, 3}, {4, 2}, {5, 1}, {6, 0}, {7, 3}, {-1, 3}};
    for (auto const &[setting, priority] : expected)
        EXPECT_EQ(Engine::PlatformThreadPriority(setting), priority) << setting;
}

TEST_F(EngineTest, UpdateSettingsSetsTheCallingThreadsPriorityAndTheThrottle)
{
    ZorvanEngine::AppModule app;
    ZorvanEngine::GameLoop loop;
    loop.m_frameCounter = 5;
    engine = std::make_unique<Engine>(&app, nullptr, nullptr, Wide(programFolder));

    // In a thread of its own, so the test program keeps its priority.
    int start = 0;
    int atDefaults = 0;
    int throttleAtDefaults = -1;
    int lowered = 0;
    bool raisedOrRefused = false;
    std::thread worker([&] {
        start = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        app.AddMessageLoop(&loop);
        EXPECT_EQ(engine->GetGameLoop(), &loop);
        loop.m_throttleMode = 3;
        engine->UpdateSettings();
        atDefaults = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        throttleAtDefaults = loop.m_throttleMode;
        loop.m_frameCounter = 5;
        engine->GetSettings().Set(L"CPUThrottle", 2, false);
        engine->GetSettings().Set(L"ThreadPriority", 1, false); // lowest
        engine->UpdateSettings();
        lowered = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        Zorvan::clearConsole();
        engine->GetSettings().Set(L"ThreadPriority", 6, false); // time critical: may be refused
        engine->UpdateSettings();
        int const now = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        raisedOrRefused = now < 0 || Console().find("refused") != std::string::npos;
        app.RemoveMessageLoop();
    });
    worker.join();
    // The defaults: a normal priority (where the thread may take it) and no throttle.
    EXPECT_TRUE(atDefaults == 0 || atDefaults == start) << atDefaults;
    EXPECT_EQ(throttleAtDefaults, 0);
    if (start <= 10) { // lowering is always allowed; raising may not be
        EXPECT_EQ(lowered, 10);
    }
    EXPECT_TRUE(raisedOrRefused) << Console();
    EXPECT_EQ(loop.m_throttleMode, 2);
    EXPECT_EQ(loop.m_frameCounter, 0);
    EXPECT_EQ(engine->GetGameLoop(), nullptr); // none for this thread
}

TEST_F(EngineTest, MessagesGoThroughThePresenterCaptionedQuintar)
{
    MakeEngine().Message(L"Something to say");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Something to say");
    EXPECT_EQ(captions[0], "Quintar");

    engine->PrintConsole(L"100% %s %d\n");
    EXPECT_NE(Narrow(engine->GetConsole()).find("100% %s %d\n"), std::string::npos);
    engine->ResetConsole();
    EXPECT_TRUE(engine->GetConsole().IsEmpty());
}

TEST_F(EngineTest, KeyMessagesReachTheInput)
{
    MakeEngine();
    Ondrel::Input *input = engine->GetInput();
    ASSERT_NE(input, nullptr);
    engine->ProcessMessage(Engine::kKeyDown, 38, 0);
    EXPECT_EQ(input->IsKeyDown(38), 1);
    engine->ProcessMessage(Engine::kKeyUp, 38, 0);
    EXPECT_EQ(input->IsKeyDown(38), 0);

    engine->ProcessMessage(Engine::kHotKey, 0, intptr_t(0xC1) << 16);
    EXPECT_EQ(input->IsHardwareKeyDown(0xC1), 1);
    engine->ProcessMessage(Engine::kHotKey, 0, (intptr_t(0xC1) << 16) | 0x1000);
    EXPECT_EQ(input->IsHardwareKeyDown(0xC1), 0);

    engine->ProcessMessage(0x0200, 38, 0); // anything else is ignored
    EXPECT_EQ(input->IsKeyDown(38), 0);
}

TEST_F(EngineTest, ThePadTakesHalfTheSkinsHeightOnlyWhenShown)
{
    InstallModule("libTestModule.so", programFolder);
    MakeEngine().LoadModules();
    EXPECT_EQ(engine->GetPadSkinSize(), 0); // no module

    WriteFile(root / "game.qtm", "rom");
    ASSERT_TRUE(engine->RunFile(Wide(root / "game.qtm")));
    EXPECT_FALSE(engine->IsPadSkinVisible()); // not full screen
    EXPECT_EQ(engine->GetPadSkinSize(), 0);

    engine->GetSettings().Set(L"FullScreen", true, true);
    EXPECT_TRUE(engine->IsPadSkinVisible());
    EXPECT_EQ(engine->GetPadSkinSize(), 96);
    ASSERT_NE(engine->GetActivePadSkin(), nullptr);
    EXPECT_EQ(Narrow(engine->GetActivePadSkin()->GetName()), "Quintar Default");

    engine->GetSettings().Set(L"VirtualPad", false, false);
    EXPECT_EQ(engine->GetPadSkinSize(), 0);
    engine->GetSettings().Set(L"FullScreen", false, true);
    engine->Shutdown();
}

} // namespace
} // namespace ZorvanEngine::Test
