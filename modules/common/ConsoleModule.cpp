#include "modules/common/ConsoleModule.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/SafeFile.h"
#include "engine/BaseInput.h"
#include "engine/BaseSound.h"
#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "platform/ondrel/Input.h"
#include "ui/propertytree/SettingsPage.h"


namespace ConsoleGlue {

ConsoleModule::ConsoleModule(ConsoleMachine const &machine) : m_machine(machine) {}

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

void ConsoleModule::ResetConsoleSettings(int soundChannels)
{
    Module::ResetSettings();
    PropertyMap &s = m_settings;
    s.Set(L"UseBlend", false, false);
    s.Set(L"DoubleWidth", false, false);
    s.Set(L"ScreenSize", L"100%", false);
    s.Set(L"FrameSync", true, false);
    s.Set(L"FrameSkip", 3, false);
    s.Set(L"SoundBuffers", 8, false);
    s.Set(L"Sound", true, false);
    s.Set(L"Noise", true, false);
    for (int i = 0; i < soundChannels; ++i) {
        Zorvan::String channel;
        channel.Format(L"SoundChannel%d", i);
        s.Set(channel, true, false);
    }
    s.Set(L"SoundRate", 44100, false);
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
