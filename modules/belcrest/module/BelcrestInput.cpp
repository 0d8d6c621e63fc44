#include "modules/belcrest/module/BelcrestInput.h"

#include "engine/PadSkin.h"
#include "modules/belcrest/machine/Machine.h"
#include "modules/belcrest/machine/MachineHooks.h"
#include "modules/belcrest/sound/BelcrestSound.h"

namespace Belcrest {

namespace {

using namespace ZorvanEngine;

constexpr ConsoleGlue::ConsoleButton kButtons[] = {
    {L"Up", PadUp, kPadNorth},
    {L"Down", PadDown, kPadSouth},
    {L"Left", PadLeft, kPadWest},
    {L"Right", PadRight, kPadEast},
    {L"A", PadButton2, kPadA},
    {L"B", PadButton1, kPadB},
    {L"Select", PadPause, kPadSelect},
    {L"Start", PadStart, kPadStart},
};

ConsoleGlue::ConsoleInput *padInput = nullptr;

} // namespace

std::span<ConsoleGlue::ConsoleButton const> BelcrestButtons()
{
    return kButtons;
}

BelcrestInput::BelcrestInput(ZorvanEngine::Module *owner) : ConsoleInput(owner, kButtons, padInput) {}

uint32_t ReadPadState()
{
    // Once per emulated frame: the sound's frame of samples goes out too.
    if (BelcrestSound *sound = ModuleSound())
        sound->Trigger();
    return padInput ? padInput->GetState() : 0;
}

} // namespace Belcrest
