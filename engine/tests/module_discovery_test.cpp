// Module discovery through real plug-in libraries in a temporary folder
// tree: the three kinds of search folders, the version check, the sort, the
// first-run defaults, and the failures of opening a module.
#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "engine/Registry.h"
#include "engine/tests/EngineSandbox.h"

namespace ZorvanEngine::Test {
namespace {

class ModuleDiscoveryTest : public Sandbox {
protected:
    std::vector<std::string> ModuleNames() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < engine->GetModuleCount(); ++i)
            names.push_back(Narrow(engine->GetModuleDesc(i)->GetName()));
        return names;
    }

    static uint32_t ReadDword(Zorvan::String const &key, wchar_t const *name)
    {
        Registry registry(HKEY_CURRENT_USER, key, 0);
        return registry.ReadDWORD(name, 0xDEAD);
    }
};

TEST_F(ModuleDiscoveryTest, FindsModulesInAllThreeKindsOfFoldersAndSortsThemByName)
{
    fs::path const current = InstallModule("libTestModule.so", programFolder);
    InstallModule("libTestNoDesc.so", programFolder);
    fs::path const newer = InstallModule("libTestModuleNew.so", programFolder / "ZorvanModules");
    fs::path const older = InstallModule("libTestModuleOld.so", root / "app/ExtraZorvanModules");
    WriteFile(root / "app/Unrelated/libTestModule.so", "never looked at");
    ModuleProbe probe(current);

    MakeEngine().LoadModules();

    EXPECT_EQ(ModuleNames(), (std::vector<std::string>{"Alpha New", "beta Old", "Test Module"}));
    EXPECT_EQ(Narrow(engine->GetModuleDesc(0)->GetFileName()), newer.string());
    EXPECT_EQ(Narrow(engine->GetModuleDesc(1)->GetFileName()), older.string());
    EXPECT_EQ(Narrow(engine->GetModuleDesc(2)->GetFileName()), current.string());
    EXPECT_EQ(Narrow(engine->GetModuleDesc(2)->GetVersion()), "2.4.0.9");

    std::string const console = Console();
    EXPECT_NE(console.find("Extended module search folder: " + (root / "app").string() + "/*ZorvanModule*\n"),
              std::string::npos)
        << console;
    // 2.4.0.10 is older than 2.4.0.9: versions compare as text.
    EXPECT_NE(console.find("The version of the ZorvanModule beta Old (2.4.0.10) is older than the main Quintar "
                           "executable (2.4.0.9) so it may not be fully compatible and may even need to be "
                           "uninstalled: " +
                           older.string() + "\n"),
              std::string::npos)
        << console;
    EXPECT_NE(console.find("The version of the ZorvanModule Alpha New (2.5.0.0) is newer than the main Quintar "
                           "executable (2.4.0.9)"),
              std::string::npos)
        << console;
    EXPECT_EQ(console.find("ZorvanModule Test Module"), std::string::npos);

    // One message for all out-of-date modules, none for the library that is
    // no module.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "One or more ZorvanModules are out of date. Please review the Console for more "
                          "information by clicking the Settings Icon on the toolbar and selecting Console.");
    EXPECT_EQ(captions[0], "Quintar");
}

TEST_F(ModuleDiscoveryTest, FirstRunWritesEveryModulesDefaultsAndThenShouldLoad)
{
    fs::path const current = InstallModule("libTestModule.so", programFolder);
    ModuleProbe probe(current);
    Zorvan::String const moduleKey = ZorvanEngine::Engine::GetRegKeyRoot() + L"/TestModule";

    MakeEngine();
    EXPECT_FALSE(engine->ShouldLoadSettings());
    engine->LoadModules();
    EXPECT_EQ(probe.Count("SaveSettings"), 1);
    EXPECT_EQ(probe.Count("Destroy"), probe.Count("Construct"));
    EXPECT_EQ(ReadDword(moduleKey, L"TestValue"), 7u);
    EXPECT_EQ(ReadDword(ZorvanEngine::Engine::GetRegKeyRoot(), L"ShouldLoad"), 1u);
    EXPECT_TRUE(engine->ShouldLoadSettings());

    // A later start leaves the stored settings alone and reads them.
    {
        Registry key(HKEY_CURRENT_USER, moduleKey, 1);
        key.WriteDWORD(L"TestValue", 9);
    }
    probe.Reset();
    MakeEngine().LoadModules();
    EXPECT_EQ(probe.Count("SaveSettings"), 0);
    EXPECT_EQ(ReadDword(moduleKey, L"TestValue"), 9u);
    ZorvanEngine::Module *module = engine->OpenModule(0);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->GetSettings().GetInt(L"TestValue"), 9);
    engine->CloseModule(module);
}

TEST_F(ModuleDiscoveryTest, WithoutAnyModuleTheSearchedFoldersAreNamedAndNothingIsWritten)
{
    fs::create_directories(root / "app/MyZorvanModules");
    InstallModule("libTestNoDesc.so", programFolder / "ZorvanModules");

    MakeEngine().LoadModules();

    EXPECT_EQ(engine->GetModuleCount(), 0);
    ASSERT_EQ(messages.size(), 1u);
    std::string const bin = programFolder.string();
    EXPECT_EQ(messages[0], "No ZorvanModules were found at the path(s): " + bin + "/," + bin + "/ZorvanModules/," +
                               (root / "app/MyZorvanModules").string() + "/");
    EXPECT_EQ(ReadDword(ZorvanEngine::Engine::GetRegKeyRoot(), L"ShouldLoad"), 0xDEADu);
}

TEST_F(ModuleDiscoveryTest, TheSameLibraryThroughTwoFoldersIsListedTwice)
{
    fs::path const current = InstallModule("libTestModule.so", programFolder);
    fs::create_directories(root / "app/LinkedZorvanModules");
    fs::create_symlink(current, root / "app/LinkedZorvanModules/libTestModule.so");

    MakeEngine().LoadModules();

    EXPECT_EQ(ModuleNames(), (std::vector<std::string>{"Test Module", "Test Module"}));
    EXPECT_EQ(Narrow(engine->GetModuleDesc(0)->GetFileName()), current.string());
    EXPECT_TRUE(messages.empty());
}

TEST_F(ModuleDiscoveryTest, LibrariesThatCannotServeAreReported)
{
    WriteFile(programFolder / "libBroken.so", "this is no shared library");
    fs::path const noEntry = InstallModule("libTestModuleNoEntry.so", programFolder);
    fs::path const vanishing = InstallModule("libTestModule.so", programFolder / "ZorvanModules");

    MakeEngine().LoadModules();

    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], "Possibly out of memory. Unable to load DLL: " + (programFolder / "libBroken.so").string());
    EXPECT_EQ(messages[1], "Unable to locate emulator in DLL: " + noEntry.string());
    EXPECT_EQ(ModuleNames(), (std::vector<std::string>{"Test Module", "Zeta No Entry"}));

    // A library gone since discovery: the loader's own text.
    messages.clear();
    fs::remove(vanishing);
    EXPECT_EQ(engine->OpenModule(0), nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(vanishing.string()), std::string::npos) << messages[0];
}

TEST_F(ModuleDiscoveryTest, OpenModuleSetsUpTheModuleAndCloseModuleDeletesIt)
{
    fs::path const current = InstallModule("libTestModule.so", programFolder);
    ModuleProbe probe(current);
    MakeEngine().LoadModules();
    probe.Reset();

    ZorvanEngine::Module *module = engine->OpenModule(0);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->GetDesc(), engine->GetModuleDesc(0));
    EXPECT_NE(module->GetInstance(), nullptr);
    EXPECT_EQ(probe.Count("ResetSettings"), 1);
    EXPECT_EQ(probe.Count("LoadSettings"), 1);
    EXPECT_FALSE(module->GetSettings().GetBoolean(L"Noise"));
    EXPECT_TRUE(module->GetSettings().Contains(L"Sound16Bit"));

    engine->CloseModule(module);
    EXPECT_EQ(probe.Count("Destroy"), 1);
    EXPECT_TRUE(messages.empty());
}

} // namespace
} // namespace ZorvanEngine::Test
