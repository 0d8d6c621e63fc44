// The module's face to the engine: its description, its default settings,
// the machine type it chooses by name, and closing and saving without a game.
#include "modules/belcrest/testing/BelcrestSandbox.h"
#include "modules/belcrest/testing/TestImages.h"
#include "modules/belcrest/sound/MachineChips.h"
#include "platform/ondrel/Input.h"

#include <memory>

namespace Belcrest::Test {
namespace {

TEST(BelcrestDescription, NamesTheModuleItsKeyVersionAndFileTypes)
{
    std::unique_ptr<ZorvanEngine::ModuleDesc> desc(ConsoleGlue::NewConsoleModuleDesc(BelcrestTexts));
    EXPECT_EQ(ZorvanEngine::Test::Narrow(desc->GetName()), "Belcrest (SMS-GG)");
    EXPECT_EQ(ZorvanEngine::Test::Narrow(desc->GetRegKeyRoot()), "Belcrest");
    EXPECT_EQ(ZorvanEngine::Test::Narrow(desc->GetVersion()), "2.4.0.9");
    std::string const description = ZorvanEngine::Test::Narrow(desc->GetDescription());
    EXPECT_EQ(description.rfind("SEGA MasterSystem/GG<br>Belcrest 2.0<br><a href=", 0), 0u) << description;
    EXPECT_NE(description.find("</a><br>Module Version: 1.01"), std::string::npos) << description;
    auto const &sets = desc->GetExtensionSet();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(ZorvanEngine::Test::Narrow(sets[0]->GetName()), "MasterSystem ROM");
    ASSERT_EQ(sets[0]->extensions.size(), 1u);
    EXPECT_EQ(ZorvanEngine::Test::Narrow(sets[0]->extensions[0]), ".sms");
    EXPECT_EQ(ZorvanEngine::Test::Narrow(sets[1]->GetName()), "GameGear ROM");
    ASSERT_EQ(sets[1]->extensions.size(), 1u);
    EXPECT_EQ(ZorvanEngine::Test::Narrow(sets[1]->extensions[0]), ".gg");
    EXPECT_TRUE(desc->IsExtension(L"/x/GAME.GG"));
    EXPECT_FALSE(desc->IsExtension(L"/x/game.sg"));
}

TEST(BelcrestMachineType, GameGearOnlyForANameEndingInGg)
{
    struct {
        wchar_t const *path;
        wchar_t const *zipped;
        uint32_t type;
    } const cases[] = {
        {L"/roms/game.gg", L"", MachineGameGear},
        {L"/roms/GAME.GG", L"", MachineGameGear},
        {L"/roms/game.Gg", L"", MachineGameGear},
        {L"/roms/game.sms", L"", MachineMasterSystem},
        {L"/roms/game.SMS", L"", MachineMasterSystem},
        {L"/roms/x.gg/game.sms", L"", MachineMasterSystem},
        {L"/roms/x.ggames/a.sms", L"", MachineMasterSystem},
        {L"/roms/game.gg.sms", L"", MachineMasterSystem},
        {L"/roms/game.sg", L"", MachineMasterSystem},
        {L"/roms/gg", L"", MachineMasterSystem},
        {L"/roms/pack.zip", L"inner/GAME.GG", MachineGameGear},
        {L"/roms/pack.gg.zip", L"game.sms", MachineMasterSystem},
        {L"/roms/pack.zip", L"game.sms", MachineMasterSystem},
    };
    for (auto const &c : cases)
        EXPECT_EQ(MachineTypeForName(c.path, c.zipped), c.type) << ZorvanEngine::Test::Narrow(c.path) << " "
                                                                 << ZorvanEngine::Test::Narrow(c.zipped);
}

class BelcrestModuleTest : public BelcrestSandbox {};

TEST_F(BelcrestModuleTest, ResetSettingsWritesEveryDefault)
{
    auto module = std::make_unique<BelcrestModule>();
    module->ResetSettings();
    PropertyMap const &s = module->GetSettings();
    struct {
        wchar_t const *key;
        int value;
    } const numbers[] = {
        {L"UseBlend", 0}, {L"DoubleWidth", 0}, {L"FrameSync", 1}, {L"FrameSkip", 3}, {L"SoundBuffers", 8},
        {L"Sound", 1}, {L"Noise", 1}, {L"SoundChannel0", 1}, {L"SoundChannel1", 1}, {L"SoundChannel2", 1},
        {L"SoundChannel3", 1}, {L"SoundRate", 44100}, {L"jsUp", 0}, {L"jsDown", 1}, {L"jsLeft", 2},
        {L"jsRight", 3}, {L"jsA", 4}, {L"jsB", 5}, {L"jsStart", 6}, {L"jsSelect", 7},
    };
    for (auto const &n : numbers) {
        EXPECT_TRUE(s.Contains(n.key)) << ZorvanEngine::Test::Narrow(n.key);
        EXPECT_EQ(s.GetInt(n.key), n.value) << ZorvanEngine::Test::Narrow(n.key);
    }
    EXPECT_FALSE(s.Contains(L"SoundChannel4")) << "the machine has four sound channels";
    uint16_t const *keys = engine->GetInput()->GetDefaultKeys();
    wchar_t const *const vk[] = {L"vkUp", L"vkDown", L"vkLeft", L"vkRight", L"vkStart", L"vkA", L"vkB", L"vkSelect"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(s.GetInt(vk[i]), keys[i]) << ZorvanEngine::Test::Narrow(vk[i]);
    EXPECT_EQ(ZorvanEngine::Test::Narrow(s.GetString(L"ScreenSize")), "100%");
    EXPECT_EQ(ZorvanEngine::Test::Narrow(s.GetString(L"PadSkin")), "Quintar Default");
}

TEST_F(BelcrestModuleTest, WithoutAGameSavingGivesFalseAndClosingTwiceIsSafe)
{
    auto module = std::make_unique<BelcrestModule>();
    EXPECT_FALSE(module->SaveState(1));
    module->Close();
    module->Close();
    EXPECT_TRUE(messages.empty());
}

TEST_F(BelcrestModuleTest, TheNameChoosesTheMachineAndCloseShutsItDownOnce)
{
    Z80Code code;
    code.Start().Forever();
    code.Write(root / "game.GG");
    code.Write(root / "game.sms");
    ASSERT_TRUE(Run(root / "game.GG")) << Console();
    EXPECT_EQ(MachineWord & MachineTypeMask, MachineGameGear);
    EXPECT_EQ(Module().GetVideo()->GetScreenSize(), (Ondrel::Point{160, 144}));
    Frames(2);
    ASSERT_TRUE(Run(root / "game.sms")) << Console();
    EXPECT_EQ(MachineWord & MachineTypeMask, MachineMasterSystem);
    EXPECT_EQ(Module().GetVideo()->GetScreenSize(), (Ondrel::Point{256, 192}));
    Module().Close();
    EXPECT_EQ(QuitFlag, 1);
    EXPECT_FALSE(Module().RunFrame());
    Module().Close();
    EXPECT_TRUE(messages.empty());
}

TEST_F(BelcrestModuleTest, AZipArchiveRunsTheMemberTheEngineChose)
{
    Z80Code gameGear;
    gameGear.Start().OutA(0x7F, 0x9A).Forever();
    Z80Code masterSystem;
    masterSystem.Start().OutA(0x7F, 0x9C).Forever();
    auto image = [](Z80Code const &code) {
        std::vector<uint8_t> const bytes = code.Image();
        return std::string(bytes.begin(), bytes.end());
    };
    struct {
        char const *archive;
        std::vector<std::pair<std::string, std::string>> members;
        uint32_t type;
        uint8_t attenuation; // which program ran
    } const cases[] = {
        {"pack.zip", {{"readme.txt", "hello"}, {"inner/GAME.GG", image(gameGear)}}, MachineGameGear, 10},
        {"x.gg.zip", {{"game.sms", image(masterSystem)}, {"later.gg", image(gameGear)}}, MachineMasterSystem, 12},
    };
    for (auto const &c : cases) {
        WriteZip(root / c.archive, c.members);
        ASSERT_TRUE(Run(root / c.archive)) << c.archive << Console();
        EXPECT_EQ(MachineWord & MachineTypeMask, c.type) << c.archive;
        Frames(2);
        EXPECT_EQ(MachinePsg.attenuation[0], c.attenuation) << c.archive;
    }
}

TEST_F(BelcrestModuleTest, HandEditedSettingsOutOfRangeAreHarmless)
{
    Z80Code code;
    code.Start().Forever();
    code.Write(root / "game.sms");
    ASSERT_TRUE(Run(root / "game.sms")) << Console();
    PropertyMap &s = Module().GetSettings();
    s.Set(L"vkUp", 70000, false);
    s.Set(L"vkDown", -3, false);
    s.Set(L"jsLeft", 1000, false);
    s.Set(L"jsRight", -40, false);
    s.Set(L"SoundRate", 999999, false);
    s.Set(L"FrameSkip", -7, false);
    s.Set(L"Sound", true, false);
    engine->GetSettings().Set(L"Sound", true, false);
    Module().UpdateSettings();
    Frames(5);
    EXPECT_LE(Module().GetSound()->m_rate, ZorvanEngine::BaseSound::kMaxRate);
    s.Set(L"FrameSkip", 1 << 30, false);
    Module().UpdateSettings();
    Frames(5);
}

// Images that are not whole 8 KB pages run, padded; each program reads its
// image's last byte through the mapper.
TEST_F(BelcrestModuleTest, ImagesOfAnySizeRun)
{
    for (size_t size : {size_t(10000), size_t(16000), size_t(100352)}) {
        SCOPED_TRACE(size);
        size_t const last = size - 1;
        uint16_t const address = uint16_t(0x8000 + last % 0x4000);
        Z80Code code;
        code.Start()({0x3E, int(last / 0x4000)}).StoreA(0xFFFF).LoadA(address).StoreA(0xC100).Forever();
        std::vector<uint8_t> image = code.Image(size);
        image[last] = 0x5A;
        auto const path = root / ("sized" + std::to_string(size) + ".sms");
        ZorvanEngine::Test::WriteFile(path, std::string(image.begin(), image.end()));
        ASSERT_TRUE(Run(path)) << Console();
        Frames(2);
        EXPECT_EQ(CpuSpace[0xC100], 0x5A);
    }
}

TEST_F(BelcrestModuleTest, AnImageThatFailsToStartLeavesItsMessageAndNothingOpen)
{
    ZorvanEngine::Test::WriteFile(root / "empty.sms", std::string());
    EXPECT_FALSE(Run(root / "empty.sms"));
    EXPECT_NE(Console().find("The file is too small to be a game image"), std::string::npos) << Console();
    EXPECT_EQ(engine->GetActiveModule(), nullptr);
    // The next game starts clean.
    Z80Code code;
    code.Start().Forever();
    code.Write(root / "good.sms");
    ASSERT_TRUE(Run(root / "good.sms")) << Console();
    Frames(3);
}

} // namespace
} // namespace Belcrest::Test
