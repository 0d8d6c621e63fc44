#include "modules/cindrel/module/CindrelModule.h"

#include "engine/Engine.h"
#include "modules/cindrel/machine/BatteryFile.h"
#include "modules/cindrel/machine/MapperFramework.h"
#include "modules/cindrel/machine/StateFile.h"
#include "modules/common/ModuleMessages.h"

#include <string>

namespace Cindrel {

namespace {

constexpr ConsoleGlue::ExtensionText kExtensions[] = {{L"NES ROM", L".nes"}};

// The battery file name the glue hands over, and its quit flag.
std::string saveName;
int quitWord = 1;

Zorvan::String Wide(std::string const &text)
{
    return Zorvan::String(text.c_str());
}

bool Start(char const *path)
{
    std::string const member = ConsoleGlue::ChosenZipMember();
    if (MachineStart(path, member, saveName) == 0)
        return false;
    // The battery file's news (a file that cannot be used, a save not
    // written or a file moved aside) reaches the user as it happens.
    ConsoleGlue::TellUser(TakeBatteryNote());
    // The game runs on the default mapping, which may be enough; the user
    // should know why it might not.
    if (!MapperSupported(Cartridge.mapper))
        ConsoleGlue::TellUser(UnsupportedMapperText(Cartridge.mapper));
    return true;
}

void Shutdown()
{
    MachineShutdown();
    ConsoleGlue::TellUser(TakeBatteryNote());
    QuitFlag = true;
}

int RunFrame()
{
    if (quitWord)
        return 0;
    return Cpu6502RunFrame(Cpu);
}

bool WriteState(char const *path)
{
    if (SaveStateFile(path))
        return true;
    ConsoleGlue::TellUser(L"The state could not be saved to " + Zorvan::String(path) + L"; the old file is kept.");
    return false;
}

bool ReadState(char const *path)
{
    std::string reason;
    if (LoadStateFile(path, &reason))
        return true;
    ConsoleGlue::TellUser(L"The state " + Zorvan::String(path) + L" could not be loaded: " + Wide(reason));
    return false;
}

ConsoleGlue::ConsoleMachine const kMachine{
    &Start, &Shutdown, &MachineReset, &RunFrame, &WriteState, &ReadState, &quitWord, &saveName,
};

} // namespace

ConsoleGlue::ModuleTexts const CindrelTexts{
    L"Cindrel (NES)",
    L"NES",
    L"Nintendo Entertainment System<br>Cindrel 3.0<br>"
    L"<a href=\"https://quintar.example/cindrel\">Cindrel home page</a>",
    kExtensions,
};

namespace {

// The 6502 console mixes seven sound channels; its sound reads
// "SoundRefresh", which no row shows.
ConsoleGlue::ConsoleDefaults const kDefaults{
    true, 7, 7, 8, [](PropertyMap &s) { s.Set(L"SoundRefresh", 1, false); },
};

} // namespace

CindrelModule::CindrelModule() : ConsoleModuleOf(kMachine, kDefaults) {}

} // namespace Cindrel
