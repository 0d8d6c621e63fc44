#include "modules/belcrest/module/BelcrestModule.h"

#include "engine/Engine.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/common/ModuleMessages.h"

#include <string>

namespace Belcrest {

namespace {

constexpr ConsoleGlue::ExtensionText kExtensions[] = {
    {L"MasterSystem ROM", L".sms"},
    {L"GameGear ROM", L".gg"},
};

// The battery file name the glue hands over.
std::string saveName;

Zorvan::String Wide(std::string const &text)
{
    return Zorvan::String(text.c_str());
}

bool Start(char const *path)
{
    BatteryFileName = saveName;
    std::string const member = ConsoleGlue::ChosenZipMember();
    bool const started = MachineStart(path, member);
    // The battery file's news (a file that cannot be used, a save not
    // written or a file moved aside) reaches the user as it happens.
    ConsoleGlue::TellUser(TakeBatteryNote());
    return started;
}

void Shutdown()
{
    MachineShutdown();
    ConsoleGlue::TellUser(TakeBatteryNote());
}

// A machine that was shut down is not run again.
int RunFrame()
{
    return QuitFlag ? 0 : MachineRunFrame();
}

bool WriteState(char const *path)
{
    std::string reason;
    if (SaveStateFile(path, &reason))
        return true;
    ConsoleGlue::TellUser(L"The state could not be saved to " + Zorvan::String(path) + L": " + Wide(reason));
    return false;
}

bool ReadState(char const *path)
{
    std::string reason;
    if (!LoadStateFile(path, &reason)) {
        ConsoleGlue::TellUser(L"The state " + Zorvan::String(path) + L" could not be loaded: " + Wide(reason));
        return false;
    }
    // The file holds no sound chip: the PSG starts silent, as after a reset.
    PsgReset(0);
    PsgSync(1);
    return true;
}

ConsoleGlue::ConsoleMachine const kMachine{
    &Start, &Shutdown, &MachineReset, &RunFrame, &WriteState, &ReadState, &QuitFlag, &saveName,
};

bool EndsWithGg(Zorvan::String name)
{
    name.MakeLower();
    int const length = name.GetLength();
    return length >= 3 && name.Mid(length - 3) == Zorvan::String(L".gg");
}

} // namespace

ConsoleGlue::ModuleTexts const BelcrestTexts{
    L"Belcrest (SMS-GG)",
    L"Belcrest",
    L"SEGA MasterSystem/GG<br>Belcrest 2.0<br>"
    L"<a href=\"https://quintar.example/belcrest\">Belcrest home page</a>"
    L"<br>Module Version: 1.01",
    kExtensions,
};

uint32_t MachineTypeForName(Zorvan::String const &path, Zorvan::String const &zippedName)
{
    return EndsWithGg(zippedName.IsEmpty() ? path : zippedName) ? MachineGameGear : MachineMasterSystem;
}

namespace {

// The Z80 consoles' sound chip has four channels.
ConsoleGlue::ConsoleDefaults const kDefaults{true, 4, 4, 8, nullptr};

} // namespace

BelcrestModule::BelcrestModule() : ConsoleModuleOf(kMachine, kDefaults) {}

bool BelcrestModule::OpenRom(Zorvan::String path)
{
    MachineWord = MachineTypeForName(path, ourEngine ? ourEngine->GetZippedFileName() : Zorvan::String());
    return ConsoleModule::OpenRom(path);
}

} // namespace Belcrest
