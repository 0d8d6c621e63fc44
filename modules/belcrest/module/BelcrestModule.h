// The Z80 module: plays Master System and Game Gear images on the Z80
// machine through the module glue the consoles share.
#pragma once

#include "modules/belcrest/module/BelcrestInput.h"
#include "modules/belcrest/module/BelcrestSettingsPage.h"
#include "modules/belcrest/module/BelcrestVideo.h"
#include "modules/belcrest/sound/BelcrestSound.h"
#include "modules/common/ConsoleDesc.h"
#include "modules/common/ConsoleModule.h"

#include <cstdint>

namespace Belcrest {

class BelcrestModule final
    : public ConsoleGlue::ConsoleModuleOf<BelcrestSettingsPage, BelcrestSound, BelcrestVideo, BelcrestInput> {
public:
    BelcrestModule();

    // A Game Gear for a name ending in ".gg", a Master System otherwise;
    // then the glue's opening, and the machine's start on the image.
    bool OpenRom(Zorvan::String path) override;
    BelcrestSettingsPage &GetSettingsPage() const { return GetConsolePage(); }
};

// The machine type for the file being run: Game Gear (3) when its name ends
// in ".gg", case-blind, Master System (2) otherwise. For a zip archive the
// name is that of the member the engine chose.
uint32_t MachineTypeForName(Zorvan::String const &path, Zorvan::String const &zippedName);

// The module's name, key, description and extension sets.
extern ConsoleGlue::ModuleTexts const BelcrestTexts;

} // namespace Belcrest
