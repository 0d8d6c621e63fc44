#include "engine/Module.h"

#include "engine/BaseInput.h"
#include "engine/BaseSound.h"
#include "engine/BaseVideo.h"
#include "engine/Engine.h"
#include "engine/ModuleDesc.h"
#include "engine/Registry.h"

#include <filesystem>
#include <system_error>

namespace ZorvanEngine {

namespace {

std::filesystem::path FsPath(Zorvan::String const &text)
{
    return std::filesystem::path(static_cast<char const *>(text));
}

bool IsFolder(Zorvan::String const &path)
{
    std::error_code error;
    return !path.IsEmpty() && std::filesystem::is_directory(FsPath(path), error);
}

// The module's key: the engine's key with the module's key root below it.
Zorvan::String ModuleKeyPath(ModuleDesc const *desc)
{
    Zorvan::String path = Engine::GetRegKeyRoot();
    if (desc)
        path += L"/" + desc->GetRegKeyRoot();
    return path;
}

} // namespace

Module::Module()
    : m_paused(false), m_stateExists{}, m_instance(nullptr), m_desc(nullptr),
      m_video(nullptr), m_input(nullptr), m_sound(nullptr)
{
    Module::ResetSettings();
}

Module::~Module() = default;

void Module::Pause()
{
    if (!ourEngine)
        return;
    m_paused = true;
    if (m_video)
        m_video->Pause();
    if (m_input)
        m_input->Pause();
    if (m_sound)
        m_sound->Pause();
}

void Module::Resume()
{
    if (!ourEngine)
        return;
    if (m_video)
        m_video->Resume();
    if (m_input)
        m_input->Resume();
    if (m_sound)
        m_sound->Resume();
    m_paused = false;
}

Zorvan::String Module::BaseName(Zorvan::String const &path)
{
    Zorvan::String name = path.Mid(path.ReverseFind(L'/') + 1);
    // A name without an extension keeps all of it: an empty base name would
    // give every such file the same state files.
    int const dot = name.ReverseFind(L'.');
    return dot < 0 ? name : name.Left(dot);
}

Zorvan::String Module::SavedGameFolder() const
{
    Zorvan::String root = ourEngine->GetSettings().GetString(L"SavedGameRoot");
    if (!IsFolder(root))
        root = ourEngine->GetDefaultSavePath();
    return root + L"/" + (m_desc ? m_desc->GetName() : Zorvan::String());
}

Zorvan::String Module::GetStateName(int slot)
{
    if (!ourEngine || ourEngine->GetFileName().IsEmpty())
        return Zorvan::String();
    Zorvan::String name;
    name.Format(L"%s/%s-%d.state", static_cast<wchar_t const *>(SavedGameFolder()),
                static_cast<wchar_t const *>(BaseName(ourEngine->GetFileName())), slot);
    return name;
}

Zorvan::String Module::GetSaveName()
{
    if (!ourEngine || ourEngine->GetFileName().IsEmpty())
        return Zorvan::String();
    return SavedGameFolder() + L"/" + BaseName(ourEngine->GetFileName()) + L".save";
}

void Module::CreateSavedGamePath()
{
    if (!ourEngine)
        return;
    Zorvan::String const folder = SavedGameFolder();
    std::error_code error; // failures are ignored: saving reports its own
    std::filesystem::create_directories(FsPath(folder), error);
}

bool Module::HasState(int slot)
{
    return slot >= 1 && slot <= kStateSlots && m_stateExists[slot - 1] != 0;
}

bool Module::CheckState()
{
    for (int &exists : m_stateExists)
        exists = 0;
    if (!ourEngine || ourEngine->GetFileName().IsEmpty())
        return false;
    bool any = false;
    for (int slot = 1; slot <= kStateSlots; ++slot) {
        std::error_code error;
        if (std::filesystem::exists(FsPath(GetStateName(slot)), error)) {
            m_stateExists[slot - 1] = 1;
            any = true;
        }
    }
    return any;
}

void Module::UpdateSettings()
{
    CreateSavedGamePath();
    if (m_video) {
        m_video->ResetSyncTimer();
        m_video->SyncFrame();
    }
    if (m_input)
        m_input->UpdateSettings();
    if (m_sound)
        m_sound->UpdateSettings();
}

void Module::LoadSettings()
{
    if (!ourEngine)
        return;
    Registry key(HKEY_CURRENT_USER, ModuleKeyPath(m_desc), 1);
    if (ourEngine->ShouldLoadSettings())
        m_settings.FromRegistry(key);
    CreateSavedGamePath();
    LoadPad();
}

void Module::SaveSettings()
{
    if (!ourEngine)
        return;
    Registry key(HKEY_CURRENT_USER, ModuleKeyPath(m_desc), 1);
    m_settings.ToRegistry(key);
    CreateSavedGamePath();
}

void Module::ResetSettings()
{
    m_settings.Set(L"Noise", false, false);
    m_settings.Set(L"Stereo", false, false);
    m_settings.Set(L"Sound16Bit", false, false);
}

void Module::LoadPad()
{
    if (!ourEngine || ourEngine->GetActiveModule() != this)
        return;
    PadSkinMgr &skins = ourEngine->GetPadSkinMgr();
    skins.SetActiveSkin(skins.GetSkin(m_settings.GetString(L"PadSkin")));
    if (m_input)
        m_input->UpdateSettings();
}

} // namespace ZorvanEngine
