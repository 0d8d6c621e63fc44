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

// The handheld starts silent; it has sixteen sound channels, the first six
// on. The sound object opens its own sample size, which "Sound16Bit" tells
// the engine so that it does not reopen the device for another.
void WriteSampleSize(PropertyMap &s) { s.Set(L"Sound16Bit", kSoundBits == 16, false); }
ConsoleGlue::ConsoleDefaults const kDefaults{false, 16, 6, ConsoleGlue::ButtonRowsPage::kButtonCount, WriteSampleSize};

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

TavrinModule::TavrinModule() : ConsoleModuleOf(kMachine, kDefaults) {}

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

void TavrinModule::LoadSettings()
{
    ConsoleModule::LoadSettings();
    WriteSampleSize(m_settings);
}

} // namespace Tavrin

CONSOLE_MODULE_EXPORTS(Tavrin::TavrinModule, Tavrin::kTexts)
