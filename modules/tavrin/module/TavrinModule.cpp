#include "modules/tavrin/module/TavrinModule.h"

#include "common/zorvan/Console.h"
#include "engine/BaseSound.h"
#include "engine/Engine.h"
#include "modules/common/ConsoleDesc.h"
#include "modules/common/ModuleMessages.h"
#include "modules/tavrin/cpu/ArmRun.h"
#include "modules/tavrin/cpu/ArmState.h"
#include "modules/tavrin/files/BatteryFile.h"
#include "modules/tavrin/files/StateFile.h"
#include "modules/tavrin/machine/Machine.h"
#include "modules/tavrin/machine/SoundFifo.h"
#include "ui/propertytree/SettingsPage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>

namespace Tavrin {

namespace {

bool StartMachine(char const *path)
{
    bool const started = MachineStart(path) != 0;
    // The battery file's news (a file that cannot be used, a save not
    // written or a file moved aside) reaches the user as it happens.
    ConsoleGlue::TellUser(TakeBatteryNote());
    return started;
}

void StopMachine()
{
    MachineShutdown();
    ConsoleGlue::TellUser(TakeBatteryNote());
}

// A machine that was shut down is not touched again.
int RunMachineFrame()
{
    if (MachineStopped)
        return 0;
    return ArmRunFrame(&ConsoleCpu) == 1;
}

bool WriteState(char const *path)
{
    errno = 0;
    if (SaveStateFile(path) == 1)
        return true;
    std::string const cause = errno ? " (" + std::string(std::strerror(errno)) + ")" : std::string();
    ConsoleGlue::TellUser("The state could not be saved to " + std::string(path) + cause + "; the old file is kept.");
    return false;
}
bool ReadState(char const *path) { return LoadStateFile(path) == 1; }

ConsoleGlue::ConsoleMachine const kMachine{
    StartMachine, StopMachine, MachineReset, RunMachineFrame, WriteState, ReadState,
    reinterpret_cast<int *>(&MachineStopped), &SaveFileName,
};

// Images are also read gzip-compressed, and such files are named after the
// compression (".gba.gz", ".agb.gz" or plain ".gz").
constexpr ConsoleGlue::ExtensionText kExtensions[] = {{L"GameBoy Advance ROM", L".gba"},
                                                      {L"GameBoy Advance ROM (gzip)", L".gz"}};
constexpr ConsoleGlue::ModuleTexts kTexts{
    L"Tavrin (GameBoy Advance)", L"GameBoyAdvance",
    L"Nintendo GameBoy Advance<br>Tavrin 3.0<br><a href=\"https://quintar.invalid/\">Quintar home page</a>",
    kExtensions, L"2, 4, 0, 9"};

// Index of each button's key in the platform's default key table, and its
// default joystick button, in the settings' order Up, Down, Left, Right,
// Start, Select, A, B, L, R.
constexpr wchar_t const *kKeyNames[] = {L"Up", L"Down", L"Left", L"Right", L"Start",
                                        L"Select", L"A", L"B", L"L", L"R"};
constexpr int kDefaultKeyIndex[] = {0, 1, 2, 3, 4, 7, 5, 6, 8, 9};
constexpr int kDefaultJoystickButton[] = {0, 1, 2, 3, 6, 7, 4, 5, 8, 9};

constexpr wchar_t const *kDefaultScreenSize = L"100%";

// Key and joystick button codes are bytes.
bool IsCode(int code) { return code >= 0 && code <= 0xFF; }

bool IsScreenSizeChoice(Zorvan::String const &text)
{
    for (wchar_t const *const *choice = SettingsPageChoices::ScreenScale; *choice; ++choice)
        if (text == *choice)
            return true;
    return false;
}

bool FileExists(Zorvan::String const &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(static_cast<char const *>(path), error);
}

// The last line the console gained since `mark` characters, without its end.
std::string LastConsoleLine(size_t mark)
{
    std::string text = Zorvan::getConsole();
    text.erase(0, std::min(mark, text.size()));
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const size_t start = text.rfind('\n');
    return start == std::string::npos ? text : text.substr(start + 1);
}

} // namespace

TavrinModule::TavrinModule() : ConsoleModuleOf(kMachine) {}

bool TavrinModule::OpenRom(Zorvan::String path)
{
    // Cartridges with a wrong header complement run as on the console.
    HeaderCheckOn = 0;
    if (!SoundWanted())
        SoundState = 3;
    if (ourEngine) {
        Zorvan::String const folder = ourEngine->GetPath();
        for (Zorvan::String const &bios : {folder + L"/Emu/GBA.ROM", folder + L"/GBA.ROM"}) {
            if (FileExists(bios)) {
                BiosPath = static_cast<char const *>(bios);
                break;
            }
        }
    }
    return ConsoleModule::OpenRom(path);
}

bool TavrinModule::LoadState(int slot)
{
    const size_t mark = std::strlen(Zorvan::getConsole());
    const bool loaded = ConsoleModule::LoadState(slot);
    if (!loaded)
        ConsoleGlue::TellUser("Saved game " + std::to_string(slot) + " was not loaded. " + LastConsoleLine(mark));
    return loaded;
}

void TavrinModule::ResetSettings()
{
    Module::ResetSettings();
    m_settings.Set(L"UseBlend", false, false);
    m_settings.Set(L"DoubleWidth", false, false);
    m_settings.Set(L"ScreenSize", kDefaultScreenSize, false);
    m_settings.Set(L"FrameSync", true, false);
    m_settings.Set(L"FrameSkip", 3, false);
    m_settings.Set(L"SoundBuffers", 8, false);
    m_settings.Set(L"Sound", false, false);
    m_settings.Set(L"Noise", true, false);
    for (int c = 0; c < 16; ++c)
        m_settings.Set(Zorvan::String(L"SoundChannel") + Zorvan::String(std::to_wstring(c).c_str()), c < 6, false);
    m_settings.Set(L"SoundRate", 44100, false);
    m_settings.Set(L"Sound16Bit", kSoundBits == 16, false);
    for (size_t i = 0; i < std::size(kKeyNames); ++i)
        m_settings.Set(Zorvan::String(L"vk") + kKeyNames[i], DefaultKey(kDefaultKeyIndex[i]), false);
    for (size_t i = 0; i < std::size(kKeyNames); ++i)
        m_settings.Set(Zorvan::String(L"js") + kKeyNames[i], kDefaultJoystickButton[i], false);
    m_settings.Set(L"PadSkin", L"Quintar Default", false);
    LoadPad();
}

void TavrinModule::LoadSettings()
{
    Module::LoadSettings();
    // The key store may hold hand edits or another version's values: a frame
    // skip is held within the page's choices and a sound rate within the
    // mixer's, and a screen size, key or joystick button the program does
    // not know falls back to its default.
    m_settings.Set(L"FrameSkip", std::clamp(m_settings.GetInt(L"FrameSkip"), 0, TavrinSettingsPage::kLastFrameSkip),
                   false);
    m_settings.Set(L"SoundRate", ZorvanEngine::BaseSound::ClampRate(m_settings.GetInt(L"SoundRate")), false);
    // The sound object opens its own sample size; the engine must not
    // reopen the device for another.
    m_settings.Set(L"Sound16Bit", kSoundBits == 16, false);
    if (!IsScreenSizeChoice(m_settings.GetString(L"ScreenSize")))
        m_settings.Set(L"ScreenSize", kDefaultScreenSize, false);
    for (size_t i = 0; i < std::size(kKeyNames); ++i) {
        Zorvan::String const key = Zorvan::String(L"vk") + kKeyNames[i];
        Zorvan::String const button = Zorvan::String(L"js") + kKeyNames[i];
        if (!IsCode(m_settings.GetInt(key)))
            m_settings.Set(key, DefaultKey(kDefaultKeyIndex[i]), false);
        if (!IsCode(m_settings.GetInt(button)))
            m_settings.Set(button, kDefaultJoystickButton[i], false);
    }
    LoadPad();
}

} // namespace Tavrin

CONSOLE_MODULE_EXPORTS(Tavrin::TavrinModule, Tavrin::kTexts)
