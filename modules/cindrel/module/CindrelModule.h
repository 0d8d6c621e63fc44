// The 6502 module: plays NES cartridge images on the 6502 machine through
// the module glue the consoles share.
#pragma once

#include "modules/cindrel/module/CindrelInput.h"
#include "modules/cindrel/module/CindrelSettingsPage.h"
#include "modules/cindrel/sound/CindrelSound.h"
#include "modules/cindrel/video/CindrelVideo.h"
#include "modules/common/ConsoleDesc.h"
#include "modules/common/ConsoleModule.h"

namespace Cindrel {

class CindrelModule final
    : public ConsoleGlue::ConsoleModuleOf<CindrelSettingsPage, CindrelSound, CindrelVideo, CindrelInput> {
public:
    CindrelModule();

    CindrelSettingsPage &GetSettingsPage() const { return GetConsolePage(); }
};

// The module's name, key, description and extension set.
extern ConsoleGlue::ModuleTexts const CindrelTexts;

} // namespace Cindrel
