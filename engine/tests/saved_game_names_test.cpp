// Names of saved-state and battery files, the saved-game folder and the
// state-exists flags.
#include "engine/ModuleDesc.h"
#include "engine/tests/EngineSandbox.h"

namespace ZorvanEngine::Test {
namespace {

class SavedGameNamesTest : public Sandbox {
protected:
    void SetUp() override
    {
        Sandbox::SetUp();
        InstallModule("libTestModule.so", programFolder);
        MakeEngine().LoadModules();
        savedGames = root / "My Documents/Saved Game Files";
        fs::create_directories(savedGames);
        engine->GetSettings().Set(L"SavedGameRoot", Wide(savedGames), false);
        handheld.SetName(L"Tavrin (GameBoy Advance)");
    }

    // Runs the file with a module of the test's own that carries the
    // handheld's name.
    CallerModule &Run(fs::path const &file)
    {
        WriteFile(file, "rom");
        auto *module = new CallerModule;
        EXPECT_TRUE(engine->RunFile(Wide(file), module));
        module->SetDesc(&handheld);
        return *module;
    }

    fs::path savedGames;
    ZorvanEngine::ModuleDesc handheld;
};

TEST_F(SavedGameNamesTest, NamesAreBuiltFromRootModuleAndBaseName)
{
    CallerModule &module = Run(root / "Storage Card/Games/puzzle.qtm");
    fs::path const folder = savedGames / "Tavrin (GameBoy Advance)";
    EXPECT_EQ(Narrow(module.GetStateName(3)), (folder / "puzzle-3.state").string());
    EXPECT_EQ(Narrow(module.GetSaveName()), (folder / "puzzle.save").string());
    engine->Shutdown();
}

TEST_F(SavedGameNamesTest, BaseNameDropsOnlyTheLastExtension)
{
    struct Case {
        char const *file;
        char const *state;
    } const cases[] = {
        {"game.final.qtm", "game.final-1.state"},
        {"dotted.folder/plain.qtm", "plain-1.state"},
    };
    for (Case const &c : cases) {
        CallerModule &module = Run(root / "roms" / c.file);
        EXPECT_EQ(fs::path(Narrow(module.GetStateName(1))).filename().string(), c.state) << c.file;
    }
    engine->Shutdown();
}

TEST_F(SavedGameNamesTest, AFileNamedWithoutExtensionKeepsItsWholeName)
{
    // An archive found by its signature may have no extension; an empty
    // base name would give every such file the same state files.
    fs::path const bundle = root / "roms/bundle";
    WriteZip(bundle, {{"game.qtm", "rom"}});
    auto *module = new CallerModule;
    ASSERT_TRUE(engine->RunFile(Wide(bundle), module));
    module->SetDesc(&handheld);
    EXPECT_EQ(fs::path(Narrow(module->GetStateName(1))).filename().string(), "bundle-1.state");
    EXPECT_EQ(fs::path(Narrow(module->GetSaveName())).filename().string(), "bundle.save");
    engine->Shutdown();
}

TEST_F(SavedGameNamesTest, AMissingRootFallsBackToTheDefaultFolder)
{
    engine->GetSettings().Set(L"SavedGameRoot", Wide(root / "gone"), false);
    CallerModule &module = Run(root / "roms/puzzle.qtm");
    fs::path const expected = Documents() / "Saved Game Files/Tavrin (GameBoy Advance)/puzzle-2.state";
    EXPECT_EQ(Narrow(module.GetStateName(2)), expected.string());

    module.CreateSavedGamePath();
    EXPECT_TRUE(fs::is_directory(expected.parent_path()));
    EXPECT_FALSE(fs::exists(root / "gone"));
    engine->Shutdown();
}

TEST_F(SavedGameNamesTest, CheckStateFindsTheSlotsWithStateFiles)
{
    CallerModule &module = Run(root / "roms/puzzle.qtm");
    for (int slot = 1; slot <= 9; ++slot)
        EXPECT_FALSE(module.HasState(slot)) << slot;
    EXPECT_FALSE(module.CheckState());

    module.CreateSavedGamePath();
    WriteFile(Narrow(module.GetStateName(3)), "state");
    WriteFile(Narrow(module.GetStateName(9)), "state");
    EXPECT_TRUE(module.CheckState());
    for (int slot = 1; slot <= 9; ++slot)
        EXPECT_EQ(module.HasState(slot), slot == 3 || slot == 9) << slot;
    EXPECT_FALSE(module.HasState(0));
    EXPECT_FALSE(module.HasState(10));
}

TEST_F(SavedGameNamesTest, WithoutARunningFileThereAreNoNames)
{
    CallerModule module;
    module.SetDesc(&handheld);
    EXPECT_TRUE(module.GetStateName(1).IsEmpty());
    EXPECT_TRUE(module.GetSaveName().IsEmpty());
    EXPECT_FALSE(module.CheckState());
    EXPECT_FALSE(module.HasState(1));
}

} // namespace
} // namespace ZorvanEngine::Test
