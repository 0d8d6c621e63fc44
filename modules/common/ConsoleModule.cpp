#include "modules/common/ConsoleModule.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "engine/BaseInput.h"
#include "engine/BaseSound.h"
#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "modules/common/ConsoleRowsPage.h"
#include "platform/ondrel/Input.h"
#include "ui/propertytree/SettingsPage.h"

#include <vector>

namespace ConsoleGlue {

ConsoleModule::ConsoleModule(ConsoleMachine const &machine, ConsoleDefaults const &defaults)
    : m_machine(machine), m_defaults(defaults)
{
}

ConsoleModule::~ConsoleModule()
{
    Close();
    delete m_sound;
    delete m_video;
    delete m_input;
    m_sound = nullptr;
    m_video = nullptr;
    m_input = nullptr;
}

void ConsoleModule::SetPage(std::unique_ptr<SettingsPage> page)
{
    m_page = std::move(page);
}

void ConsoleModule::WriteDefaults(PropertyMap &s) const
{
    s.Set(L"UseBlend", false, false);
    s.Set(L"DoubleWidth", false, false);
    s.Set(L"ScreenSize", L"100%", false);
    s.Set(L"FrameSync", true, false);
    s.Set(L"FrameSkip", 3, false);
    s.Set(L"SoundBuffers", 8, false);
    s.Set(L"Sound", m_defaults.sound, false);
    s.Set(L"Noise", true, false);
    for (int i = 0; i < m_defaults.soundChannels; ++i) {
        Zorvan::String channel;
        channel.Format(L"SoundChannel%d", i);
        s.Set(channel, i < m_defaults.channelsOn, false);
    }
    s.Set(L"SoundRate", 44100, false);
    if (m_defaults.ownSettings)
        m_defaults.ownSettings(s);
    for (int i = 0; i < m_defaults.buttons; ++i)
        s.Set(Zorvan::String(L"vk") + ButtonRowsPage::kButtons[i].name,
              DefaultKey(ButtonRowsPage::kButtons[i].defaultKeyIndex), false);
    for (int i = 0; i < m_defaults.buttons; ++i)
        s.Set(Zorvan::String(L"js") + ButtonRowsPage::kButtons[i].name,
              ButtonRowsPage::kButtons[i].defaultJoystickButton, false);
    s.Set(L"PadSkin", L"Quintar Default", false);
}

void ConsoleModule::ResetSettings()
{
    Module::ResetSettings();
    WriteDefaults(m_settings);
    LoadPad();
}

void ConsoleModule::LoadSettings()
{
    Module::LoadSettings();
    std::vector<Zorvan::String> const unusable = ConsoleRowsPage::ValuesOutOfRange(m_settings, m_defaults.buttons);
    if (unusable.empty())
        return;
    PropertyMap defaults;
    WriteDefaults(defaults);
    for (Zorvan::String const &key : unusable) {
        Zorvan::printConsole("The stored setting %s is out of its range; its default is used.\n",
                             static_cast<char const *>(key));
        if (key == L"ScreenSize")
            m_settings.Set(key, defaults.GetString(key), false);
        else
            m_settings.Set(key, defaults.GetInt(key), false);
    }
    LoadPad();
}

int ConsoleModule::DefaultKey(int index)
{
    Ondrel::Input *input = ourEngine ? ourEngine->GetInput() : nullptr;
    uint16_t const *keys = input ? input->GetDefaultKeys() : nullptr;
    return keys ? int(keys[index]) : 0;
}

bool ConsoleModule::SoundWanted() const
{
    return ourEngine && ourEngine->GetSettings().GetBoolean(L"Sound") && m_settings.GetBoolean(L"Sound");
}

bool ConsoleModule::OpenRom(Zorvan::String path)
{
    CheckState();
    if (ourEngine)
        ourEngine->ResetConsole();
    if (!m_video || !m_video->Open(0, 0, Ondrel::PixelFormatNone))
        return false;
    if (m_input)
        m_input->Open();
    if (m_sound && SoundWanted())
        m_sound->Open(m_settings.GetInt(L"SoundRate"), 8, false);
    *m_machine.quitFlag = 0;
    *m_machine.saveName = static_cast<char const *>(GetSaveName());
    // Saves cut short by a kill leave their temporary files; those of
    // programs no longer running are cleared from the save folder (the
    // states' too) before the game runs.
    if (!m_machine.saveName->empty())
        Zorvan::RemoveLeftTemporaries(Zorvan::FolderOfPath(*m_machine.saveName));
    // A game that did not start is never shut down, so its battery file is
    // never written: the save of the same name stays as it was.
    m_machineStarted = m_machine.start(static_cast<char const *>(path));
    if (!m_machineStarted)
        m_machine.saveName->clear();
    return m_machineStarted;
}

bool ConsoleModule::RunFrame()
{
    return m_machine.runFrame() != 0;
}

void ConsoleModule::Reset()
{
    if (m_sound) {
        m_sound->Close();
        m_sound->UpdateSettings();
    }
    m_machine.reset();
}

void ConsoleModule::Close()
{
    if (m_machineStarted) {
        m_machineStarted = false;
        if (*m_machine.quitFlag == 0)
            m_machine.shutdown();
    }
    *m_machine.quitFlag = 1;
    m_paused = false;
    if (m_sound)
        m_sound->Close();
    if (m_input)
        m_input->Close();
    if (m_video)
        m_video->Close();
}

bool ConsoleModule::SaveState(int slot)
{
    if (!ourEngine || ourEngine->GetFileName().IsEmpty())
        return false;
    ourEngine->Pause();
    bool const written = m_machine.writeState(static_cast<char const *>(GetStateName(slot)));
    CheckState();
    ourEngine->Resume();
    return written && HasState(slot);
}

bool ConsoleModule::LoadState(int slot)
{
    if (m_sound) {
        m_sound->Close();
        m_sound->UpdateSettings();
    }
    return m_machine.readState(static_cast<char const *>(GetStateName(slot)));
}

void ConsoleModule::ShowProperties()
{
    if (m_page)
        m_page->Show();
}

} // namespace ConsoleGlue
