#include "modules/cindrel/module/CindrelInput.h"

#include "engine/PadSkin.h"
#include "modules/cindrel/machine/Machine.h"

namespace Cindrel {

namespace {

using namespace ZorvanEngine;

constexpr ConsoleGlue::ConsoleButton kButtons[] = {
    {L"Up", 0x10, kPadNorth},     {L"Down", 0x20, kPadSouth},       {L"Left", 0x40, kPadWest},
    {L"Right", 0x80, kPadEast},   {L"A", 0x01, kPadA},              {L"B", 0x02, kPadB},
    {L"Select", 0x04, kPadSelect}, {L"Start", 0x08, kPadStart},
};

ConsoleGlue::ConsoleInput *padInput = nullptr;

} // namespace

std::span<ConsoleGlue::ConsoleButton const> CindrelButtons()
{
    return kButtons;
}

CindrelInput::CindrelInput(ZorvanEngine::Module *owner) : ConsoleInput(owner, kButtons, padInput) {}

void ReadPadState()
{
    PadState[0] = padInput ? uint8_t(padInput->GetState()) : 0;
    PadState[1] = 0;
}

} // namespace Cindrel
