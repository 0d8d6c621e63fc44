// The base of every emulation module: one object per running game, created by
// the module library's NewModule and driven by the engine and the front end.
//
// The base supplies what all modules share: the names of saved-state and
// battery files, the module's settings in the key store, pausing and resuming
// its video, input and sound objects, and the choice of pad skin. The
// subclass creates and deletes its video, input and sound objects and sets
// the pointers below itself.
#pragma once

#include "common/zorvan/String.h"
#include "engine/PropertyMap.h"

namespace ZorvanEngine {

class BaseVideo;
class BaseInput;
class BaseSound;
class ModuleDesc;

class Module {
public:
    static constexpr int kStateSlots = 9;

    Module();
    virtual ~Module();
    Module(Module const &) = delete;
    Module &operator=(Module const &) = delete;

    // The virtual operations in their fixed order.
    virtual bool OpenRom(Zorvan::String path) = 0;
    virtual bool RunFrame() = 0;
    virtual void Pause();
    virtual void Resume();
    virtual void Reset() = 0;
    virtual void Close() = 0;
    virtual void CreateSavedGamePath();
    // "<root>/<module name>/<base name>-<slot>.state"; empty without a file.
    virtual Zorvan::String GetStateName(int slot);
    // "<root>/<module name>/<base name>.save"; empty without a file.
    virtual Zorvan::String GetSaveName();
    virtual bool SaveState(int slot) = 0;
    virtual bool LoadState(int slot) = 0;
    // The flag of slot 1..9 from the last CheckState; false for other slots.
    virtual bool HasState(int slot);
    // Refreshes the nine flags; true when any state file exists.
    virtual bool CheckState();
    virtual void ShowProperties() = 0;
    virtual void UpdateSettings();
    virtual void LoadSettings();
    virtual void SaveSettings();
    virtual void ResetSettings();

    PropertyMap &GetSettings() { return m_settings; }
    ModuleDesc *GetDesc() const { return m_desc; }
    void SetDesc(ModuleDesc *desc) { m_desc = desc; }
    bool IsPaused() const { return m_paused; }
    // The module library's handle (from dlopen).
    void *GetInstance() const { return m_instance; }
    void SetInstance(void *instance) { m_instance = instance; }
    BaseVideo *GetVideo() const { return m_video; }
    BaseInput *GetInput() const { return m_input; }
    BaseSound *GetSound() const { return m_sound; }
    // For the engine's active module: makes the skin named by the setting
    // "PadSkin" the active one and lets the input pick it up.
    void LoadPad();

    bool m_paused;
    int m_stateExists[kStateSlots];
    PropertyMap m_settings;
    void *m_instance;
    ModuleDesc *m_desc;
    BaseVideo *m_video;
    BaseInput *m_input;
    BaseSound *m_sound;

private:
    // "SavedGameRoot/<module name>", with the default root when the
    // configured folder does not exist.
    Zorvan::String SavedGameFolder() const;
    // The running file's name without folder and last extension.
    static Zorvan::String BaseName(Zorvan::String const &path);
};

} // namespace ZorvanEngine
