// The module glue shared by the console modules: the `Module` subclass body
// that every console plug-in has in common, written once over a table of
// the machine's plain functions.
//
// A console plug-in supplies
//   - its machine as a ConsoleMachine table (ConsoleMachine.h): start,
//     shutdown, reset, frame, state writer and reader, the quit flag and the
//     battery file name;
//   - its video, derived from ConsoleVideo (ConsoleVideo.h), constructible
//     from (Module *), giving the machine's two frame-skip counters;
//   - its input, derived from ConsoleInput (ConsoleInput.h) with its button
//     table and the machine's input pointer, constructible from (Module *);
//   - its sound, a BaseSound constructible from (Module *);
//   - its settings page, a ConsoleRowsPage (ConsoleRowsPage.h) with the
//     console's rows, constructible from (PropertyMap *);
//   - its defaults where they differ from the other consoles'
//     (ConsoleDefaults);
//   - its module class and exports:
//
//   class CindrelModule final
//       : public ConsoleGlue::ConsoleModuleOf<CindrelSettingsPage, CindrelSound, CindrelVideo, CindrelInput> {
//   public:
//       CindrelModule() : ConsoleModuleOf(kCindrelMachine, kCindrelDefaults) {}
//   };
//   CONSOLE_MODULE_EXPORTS(CindrelModule, kCindrelTexts)   // ConsoleDesc.h
//
// A module whose OpenRom has steps of its own (choosing the machine type,
// a BIOS path, marking the sound off when SoundWanted() is false) overrides
// OpenRom, does them, then returns ConsoleModule::OpenRom(path).
// engine/tests/testmodule/TestConsoleModule.cpp is a whole small example.
#pragma once

#include "engine/Module.h"
#include "modules/common/ConsoleMachine.h"

#include <memory>

class PropertyMap;
class SettingsPage;

namespace ConsoleGlue {

// A console's defaults where the consoles differ; every other default is
// the same for all (ConsoleModule::WriteDefaults).
struct ConsoleDefaults {
    bool sound;        // "Sound"
    int soundChannels; // "SoundChannel0" up to soundChannels - 1 are written,
    int channelsOn;    // the first channelsOn of them on
    int buttons;       // bindings of the first of ButtonRowsPage::kButtons
    // The console's own settings, written after the shared ones; null when
    // it has none.
    void (*ownSettings)(PropertyMap &settings);
};

class ConsoleModule : public ZorvanEngine::Module {
public:
    // Close, then the sound, video and input objects are deleted in that
    // order, then the settings page.
    ~ConsoleModule() override;

    // CheckState, ResetConsole, the video's Open (0, 0, 0), the input's
    // Open, the sound's Open ("SoundRate", 8 bits, mono) when SoundWanted,
    // the quit flag cleared, the save name stored, the temporary files a
    // killed save of the battery file or a state slot left removed, the
    // machine's start.
    // False when the video does not open or when the machine refuses the
    // image; a refused image is never shut down (its battery file is not
    // written) and the save name is cleared again.
    bool OpenRom(Zorvan::String path) override;
    // One machine frame; false once the machine was told to quit.
    bool RunFrame() override;
    // The sound is closed and set up again, then the machine resets.
    void Reset() override;
    // Shuts the machine down once per successful start (never a machine
    // that was not started or refused its image), sets the quit flag,
    // clears the paused flag, then closes the sound, the input and the
    // video. Safe to call again.
    void Close() final;
    // Without a running file: false and nothing else. Otherwise the
    // engine is paused around the machine's writer (with GetStateName of
    // the slot) and CheckState; true when the writer succeeded and the
    // slot's file exists.
    bool SaveState(int slot) override;
    // The sound is closed and set up again, then the machine's reader with
    // GetStateName of the slot; its result is returned.
    bool LoadState(int slot) override;
    // Shows the module's settings page.
    void ShowProperties() override;
    // The base module's defaults, then WriteDefaults, then LoadPad.
    void ResetSettings() override;
    // The settings store's values over the defaults; a value the page's
    // rows cannot show (a hand edit, another version's value) is replaced
    // by its default and named on a console line.
    void LoadSettings() override;

    // Both the engine's and the module's "Sound" settings are on.
    bool SoundWanted() const;
    SettingsPage *GetPage() const { return m_page.get(); }

protected:
    ConsoleModule(ConsoleMachine const &machine, ConsoleDefaults const &defaults);
    // Every console's display, sound, speed, binding and pad skin defaults,
    // as the console's ConsoleDefaults state them.
    void WriteDefaults(PropertyMap &settings) const;
    // Entry `index` of the platform's default key table; 0 without an
    // engine or its input.
    static int DefaultKey(int index);
    // The page is made first of the module's objects (ConsoleModuleOf).
    void SetPage(std::unique_ptr<SettingsPage> page);

    ConsoleMachine const m_machine;
    ConsoleDefaults const m_defaults;

private:
    std::unique_ptr<SettingsPage> m_page;
    // The machine started since the last shutdown.
    bool m_machineStarted = false;
};

// The construction order of every console module: the settings page over
// the module's settings, then the sound, the video and the input, each
// with the module as its owner; the paused flag cleared.
template <class Page, class Sound, class Video, class Input>
class ConsoleModuleOf : public ConsoleModule {
protected:
    ConsoleModuleOf(ConsoleMachine const &machine, ConsoleDefaults const &defaults) : ConsoleModule(machine, defaults)
    {
        SetPage(std::make_unique<Page>(&m_settings));
        m_sound = new Sound(this);
        m_video = new Video(this);
        m_input = new Input(this);
        m_paused = false;
    }

    Page &GetConsolePage() const { return static_cast<Page &>(*GetPage()); }
};

} // namespace ConsoleGlue
