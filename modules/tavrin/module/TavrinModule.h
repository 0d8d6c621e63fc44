// The handheld's module: the glue's module body over the handheld machine,
// with its own start-up steps (BIOS path, header check off, sound state)
// and its settings' defaults.
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
    void ResetSettings() override;
    // The key store's values, each one the module cannot use replaced.
    void LoadSettings() override;
    TavrinSettingsPage &GetTavrinPage() const { return GetConsolePage(); }
};

} // namespace Tavrin
