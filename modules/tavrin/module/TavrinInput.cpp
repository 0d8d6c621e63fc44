#include "modules/tavrin/module/TavrinInput.h"

#include "engine/PadSkin.h"
#include "modules/tavrin/machine/ModuleServices.h"
#include "modules/tavrin/module/TavrinSound.h"

namespace Tavrin {

namespace {

using namespace ZorvanEngine;
constexpr ConsoleGlue::ConsoleButton kButtons[] = {
    {L"Up", 0x040, kPadNorth},      {L"Down", 0x080, kPadSouth}, {L"Left", 0x020, kPadWest},
    {L"Right", 0x010, kPadEast},    {L"A", 0x001, kPadA},        {L"B", 0x002, kPadB},
    {L"Select", 0x004, kPadSelect}, {L"Start", 0x008, kPadStart}, {L"L", 0x200, kPadL},
    {L"R", 0x100, kPadR},
};

ConsoleGlue::ConsoleInput *PublishedInput = nullptr;

} // namespace

std::span<ConsoleGlue::ConsoleButton const> TavrinButtons() { return kButtons; }

TavrinInput::TavrinInput(ZorvanEngine::Module *owner) : ConsoleInput(owner, kButtons, PublishedInput) {}

uint32_t ReadPadState()
{
    // Once per emulated frame: the output queue is refilled here.
    TriggerSound();
    return PublishedInput ? uint32_t(PublishedInput->GetState()) & 0xFFFF : 0;
}

} // namespace Tavrin
