// The handheld's module: the glue's module body over the handheld machine,
// with its own start-up steps (BIOS path, header check off, sound state).
#pragma once

#include "modules/common/ConsoleModule.h"
#include "modules/tavrin/module/TavrinInput.h"
#include "modules/tavrin/module/TavrinSettingsPage.h"
#include "modules/tavrin/module/TavrinSound.h"
#include "modules/tavrin/module/TavrinVideo.h"

namespace Tavrin {

class TavrinModule final
    : public ConsoleGlue::ConsoleModuleOf<TavrinSettingsPage, TavrinSound, TavrinVideo, TavrinInput> {
public:
    TavrinModule();

    bool OpenRom(Zorvan::String path) override;
    // A refused state file: one message naming the slot and the reason;
    // the game runs on as it was.
    bool LoadState(int slot) override;
    // The glue's loading; the sample size stays the sound object's.
    void LoadSettings() override;
    TavrinSettingsPage &GetTavrinPage() const { return GetConsolePage(); }
};

} // namespace Tavrin
