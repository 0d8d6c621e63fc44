#pragma once
// The front end's "Global Settings" page over the engine's own settings map.
// The main frame applies and stores the settings when the page has closed.

#include "ui/propertytree/SettingsPage.h"

#include <QString>

class GlobalSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    static wchar_t const* const Colors[];
    static wchar_t const* const Orientations[];
    static wchar_t const* const Throttle[];
    static wchar_t const* const Priorities[];
    static wchar_t const* const Drivers[];

    explicit GlobalSettingsPage(PropertyMap* settings);

protected:
    void OnInitDialog() override;
    void LoadValues() override;
    void SaveValues() override;
    long OnBrowse(PropertyItem* item) override;
    long OnReset(PropertyItem* item) override;

private:
    // The folder a "Save Game Path" text names, made absolute against the
    // working folder; the default save path when that folder does not exist.
    static Zorvan::String SavePathFor(QString const& typed);

    PropertyRow m_driver = nullptr;
    PropertyRow m_debug = nullptr;
    PropertyRow m_noFullScreen = nullptr;
    PropertyRow m_orientation = nullptr;
    PropertyRow m_sound = nullptr;
    PropertyRow m_volume = nullptr;
    PropertyRow m_virtualPad = nullptr;
    PropertyRow m_inputPolling = nullptr;
    PropertyRow m_customFileDlg = nullptr;
    PropertyRow m_autoPause = nullptr;
    PropertyRow m_savePath = nullptr;
    PropertyRow m_throttle = nullptr;
    PropertyRow m_priority = nullptr;
    PropertyRow m_bgColor = nullptr;
    PropertyRow m_bgImage = nullptr;
};
