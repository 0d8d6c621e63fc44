#pragma once
// The front end's "Global Settings" page over the engine's own settings map.
// The main frame applies and stores the settings when the page has closed.

#include "ui/propertytree/SettingsPage.h"

#include <QString>
#include <functional>

class GlobalSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    // An external open-file dialog: (parent, filter, start folder) -> the
    // chosen path, empty when cancelled.
    using OpenFileDialog = std::function<QString(QWidget*, QString const&, QString const&)>;

    static wchar_t const* const Colors[];
    static wchar_t const* const Orientations[];
    static wchar_t const* const Throttle[];
    static wchar_t const* const Priorities[];
    static wchar_t const* const Drivers[];

    explicit GlobalSettingsPage(PropertyMap* settings);

    // The dialog used for browsing while the "Custom File Dialog" row is
    // ticked; without one, and while the row is clear, Qt's dialog is used.
    void SetCustomFileDialog(OpenFileDialog dialog) { m_customDialog = std::move(dialog); }

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

    OpenFileDialog m_customDialog;
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
