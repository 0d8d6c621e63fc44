// The real plug-in loaded by the engine in this process (offscreen): the
// settings' defaults, sound off, the BIOS folders, closing twice, states
// without a file, the colour table, fast mode, the pad, and the nine save
// slots. The plug-in's own words are read through its exports.
#include "common/zorvan/SafeFile.h"
#include "modules/tavrin/module/tests/PluginSandbox.h"

#include <sys/stat.h>

namespace Tavrin::Test {
namespace {

std::string Contents(fs::path const &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(TavrinModuleTest, SettingsDefaults)
{
    ZorvanEngine::Module *module = engine->OpenModule(0);
    module->ResetSettings();
    PropertyMap &s = module->GetSettings();
    struct Flag {
        wchar_t const *key;
        bool value;
    } const flags[] = {{L"UseBlend", false}, {L"DoubleWidth", false}, {L"FrameSync", true}, {L"Sound", false},
                       {L"Noise", true},     {L"SoundChannel0", true}, {L"SoundChannel5", true},
                       {L"SoundChannel6", false}, {L"SoundChannel15", false}};
    for (Flag const &f : flags)
        EXPECT_EQ(s.GetBoolean(f.key), f.value) << Narrow(f.key);
    struct Number {
        wchar_t const *key;
        int value;
    } const numbers[] = {{L"FrameSkip", 3}, {L"SoundBuffers", 8}, {L"SoundRate", 44100}, {L"jsUp", 0},
                         {L"jsStart", 6},   {L"jsSelect", 7},     {L"jsA", 4},            {L"jsR", 9}};
    for (Number const &n : numbers)
        EXPECT_EQ(s.GetInt(n.key), n.value) << Narrow(n.key);
    uint16_t const *keys = engine->GetInput()->GetDefaultKeys();
    EXPECT_EQ(s.GetInt(L"vkStart"), keys[4]);
    EXPECT_EQ(s.GetInt(L"vkSelect"), keys[7]);
    EXPECT_EQ(s.GetInt(L"vkA"), keys[5]);
    EXPECT_EQ(Narrow(s.GetString(L"ScreenSize")), "100%");
    EXPECT_EQ(Narrow(s.GetString(L"PadSkin")), "Quintar Default");
    engine->CloseModule(module);
}

TEST_F(TavrinModuleTest, OpenWithSoundOffThenCloseTwice)
{
    NEEDS_ROMS();
    engine->GetSettings().Set(L"Sound", true, false);
    StoreRunSettings(false);
    // The BIOS image in the "Emu" folder wins over the program folder's.
    WriteFile(programFolder / "GBA.ROM", std::string(16384, '\0'));
    WriteFile(programFolder / "Emu/GBA.ROM", std::string(16384, '\0'));
    ASSERT_TRUE(engine->RunFile(Wide(Hello())));
    EXPECT_EQ(words->SoundState(), 3u);
    EXPECT_FALSE(Active().GetSound()->IsOpen());
    EXPECT_THAT(words->BiosPath(), testing::EndsWith("/Emu/GBA.ROM"));

    // Colours: white, full green, full red, and bit 15 ignored.
    uint16_t const *host = words->HostColors();
    EXPECT_EQ(host[0x7FFF], 0xFFFF);
    EXPECT_EQ(host[0x03E0], 0x07E0);
    EXPECT_EQ(host[0x001F], 0xF800);
    EXPECT_EQ(host[0x801F], 0xF800);
    EXPECT_EQ(Active().GetVideo()->GetScreenSize().x, 240);

    // Fast mode counters.
    Active().GetVideo()->SetFastMode(true);
    EXPECT_EQ(words->SkipCountdown(), 0u);
    EXPECT_EQ(words->SkipPeriod(), 1u);
    Active().GetVideo()->SetFastMode(false);
    EXPECT_EQ(words->SkipCountdown(), 5u);
    EXPECT_EQ(words->SkipPeriod(), 5u);

    Active().Close();
    EXPECT_EQ(words->MachineStopped(), 1u);
    EXPECT_FALSE(Active().RunFrame()); // a closed machine is not touched
    Active().Close();
    EXPECT_EQ(words->MachineStopped(), 1u);
}

TEST_F(TavrinModuleTest, SettingsPageShowsAndSavesTheSettings)
{
    ZorvanEngine::Module *module = engine->OpenModule(0);
    module->GetSettings().Set(L"SoundRate", 32000, false);
    module->GetSettings().Set(L"vkA", 13, false);
    module->GetSettings().Set(L"vkB", 0x100 + 208, false);
    module->ShowProperties();
    QWidget *page = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget->findChild<QTreeWidget *>("tree"))
            page = widget;
    ASSERT_NE(page, nullptr);
    auto *tree = static_cast<PropertyTree *>(page->findChild<QTreeWidget *>("tree"));
    EXPECT_EQ(RowText(tree, "Quality"), "High (44khz)");
    EXPECT_EQ(RowText(tree, "A"), "Enter");
    EXPECT_EQ(RowText(tree, "B"), "208"); // read on its low byte; no key has code 208
    EXPECT_EQ(RowText(tree, "Frame Skip"), "3");
    page->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(module->GetSettings().GetInt(L"SoundRate"), 44100);
    EXPECT_EQ(module->GetSettings().GetInt(L"vkA"), 13);
    engine->CloseModule(module);
}

TEST_F(TavrinModuleTest, SaveStateWithoutAFileIsRefused)
{
    ZorvanEngine::Module *module = engine->OpenModule(0);
    EXPECT_FALSE(module->SaveState(1));
    engine->CloseModule(module);
}

TEST_F(TavrinModuleTest, AAndRightGive0x011)
{
    NEEDS_ROMS();
    StoreRunSettings(false);
    ASSERT_TRUE(engine->RunFile(Wide(Hello())));
    PropertyMap &s = Active().GetSettings();
    Ondrel::Input *input = engine->GetInput();
    input->KeyEvent(s.GetInt(L"vkA"), true);
    input->KeyEvent(s.GetInt(L"vkRight"), true);
    EXPECT_EQ(words->ReadPad(), 0x011u);
    input->KeyEvent(s.GetInt(L"vkA"), false);
    input->KeyEvent(s.GetInt(L"vkRight"), false);
    EXPECT_EQ(words->ReadPad(), 0u);
}

TEST_F(TavrinModuleTest, NineSlotsEachLoadTheFrameAfterTheirSave)
{
    NEEDS_ROMS();
    StoreRunSettings(false);
    ASSERT_TRUE(engine->RunFile(Wide(fs::path(roms) / "gba/peterlemon/BGRotZoomMode3.gba")));
    // The demo turns and zooms its picture while keys are held (pressed
    // again after each save, as the engine's pause lets them go).
    PropertyMap &s = Active().GetSettings();
    std::vector<std::vector<uint8_t>> after(10);
    for (int slot = 1; slot <= 9; ++slot) {
        for (wchar_t const *key : {L"vkL", L"vkRight", L"vkA"})
            engine->GetInput()->KeyEvent(s.GetInt(key), true);
        for (int i = 0; i < 9; ++i)
            Frame();
        ASSERT_TRUE(Active().SaveState(slot)) << slot;
        after[size_t(slot)] = Frame();
    }
    // The picture moves, so a wrong slot would show.
    EXPECT_FALSE(after[1] == after[9]);
    for (int slot = 9; slot >= 1; --slot) {
        ASSERT_TRUE(Active().LoadState(slot)) << slot << Console();
        EXPECT_TRUE(Frame() == after[size_t(slot)]) << slot;
    }
    // A refused file: one message naming the slot and the reason, and the
    // game runs on untouched.
    WriteFile(Narrow(Active().GetStateName(4)), "damaged");
    messages.clear();
    EXPECT_FALSE(Active().LoadState(4));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], testing::HasSubstr("Saved game 4 was not loaded"));
    EXPECT_THAT(messages[0], testing::HasSubstr("refused: not a state file"));
    EXPECT_TRUE(Active().RunFrame());

    // A named pipe in a slot is refused at once, not waited on.
    std::string const slot5 = Narrow(Active().GetStateName(5));
    fs::remove(slot5);
    ASSERT_EQ(mkfifo(slot5.c_str(), 0644), 0);
    messages.clear();
    EXPECT_FALSE(Active().LoadState(5));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], testing::HasSubstr("Saved game 5 was not loaded"));

    // A state that cannot be written is told, and the slot keeps its file.
    std::string const slot3 = Narrow(Active().GetStateName(3));
    std::string const kept = Contents(slot3);
    for (unsigned ahead = 0; ahead < 16; ++ahead)
        fs::create_directories(fs::path(Zorvan::NextTemporaryNameOf(slot3, ahead)) / "blocker");
    messages.clear();
    EXPECT_FALSE(Active().SaveState(3));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], testing::HasSubstr("could not be saved to " + slot3));
    EXPECT_EQ(Contents(slot3), kept);
}

// A file at the battery's name that the game cannot use stays while the
// game runs, the user told why at the start; the game's save moves it aside
// at the close, and the user is told where.
TEST_F(TavrinModuleTest, ADamagedBatteryFileIsKeptAsideWhenTheGameSavesWithOneMessage)
{
    NEEDS_ROMS();
    StoreRunSettings(false);
    ASSERT_TRUE(engine->RunFile(Wide(fs::path(roms) / "gba/jsmolka_save_flash64.gba")));
    std::string const battery = Narrow(Active().GetSaveName());
    engine->Shutdown();
    WriteFile(battery, "not a battery file");
    messages.clear();
    ASSERT_TRUE(engine->RunFile(Wide(fs::path(roms) / "gba/jsmolka_save_flash64.gba")));
    for (int i = 0; i < 30; ++i)
        Active().RunFrame();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], testing::HasSubstr("is not a save of this game"));
    EXPECT_EQ(Contents(battery), "not a battery file");
    // The program wrote flash: closing saves it.
    engine->Shutdown();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_THAT(messages[1], testing::HasSubstr("moved aside as " + battery + ".damaged"));
    EXPECT_EQ(Contents(battery + ".damaged"), "not a battery file");
    EXPECT_GT(fs::file_size(battery), 0u);
    EXPECT_NE(Contents(battery), "not a battery file");
}

// A save that cannot be written at the close (a folder stands at its
// temporary name) loses the game's progress: the user is told, and nothing
// is left half written.
TEST_F(TavrinModuleTest, ABatteryWriteThatFailsAtTheCloseIsToldToTheUser)
{
    NEEDS_ROMS();
    StoreRunSettings(false);
    ASSERT_TRUE(engine->RunFile(Wide(fs::path(roms) / "gba/jsmolka_save_flash64.gba")));
    std::string const battery = Narrow(Active().GetSaveName());
    engine->Shutdown();
    ASSERT_FALSE(fs::exists(battery));
    ASSERT_TRUE(engine->RunFile(Wide(fs::path(roms) / "gba/jsmolka_save_flash64.gba")));
    // In the way of the next writes of the file (settings may be written first).
    for (unsigned ahead = 0; ahead < 16; ++ahead)
        fs::create_directories(fs::path(Zorvan::NextTemporaryNameOf(battery, ahead)) / "blocker");
    for (int i = 0; i < 30; ++i)
        Active().RunFrame();
    messages.clear();
    // The program wrote flash: the close must save it, and cannot.
    engine->Shutdown();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], testing::HasSubstr(battery + " could not be written"));
    EXPECT_FALSE(fs::exists(battery));
}

} // namespace
} // namespace Tavrin::Test
