#pragma once
// The modeless "Properties" page on which the Global Settings page and every
// module's settings page are built: a title band, one PropertyTree under it
// and OK / Cancel. It covers the window that opened it, which takes no input
// while the page is open. OK writes the rows back through SaveValues; either
// way the owner is told afterwards (identifier 135, code 2).

#include "common/zorvan/String.h"
#include "engine/PropertyMap.h"
#include "engine/ModelessDialogOwner.h"
#include "ui/propertytree/PropertyTree.h"
#include "engine/QtString.h"
#include "ui/propertytree/TitleBand.h"

#include <QPointer>
#include <QWidget>

class QDialogButtonBox;

// Choices for list rows; each list ends with a null entry.
struct SettingsPageChoices {
    static wchar_t const* const Percent[];
    static wchar_t const* const EvenNumbers[];
    static wchar_t const* const SoundRates[];
    static wchar_t const* const ScreenScale[];
    static wchar_t const* const Digits[];
};

class SettingsPage : public QWidget, public PropertyTreeOwner, public ModelessDialogOwner {
    Q_OBJECT
public:
    static constexpr int DialogId = 135;
    static constexpr int ButtonDialogId = 257;

    explicit SettingsPage(PropertyMap* settings);
    ~SettingsPage() override;

    // Builds the rows and shows the page over owner (null: the engine's frame
    // window); owner is disabled until the page closes.
    void Show(QWidget* owner = nullptr);
    bool IsOpen() const { return m_open; }
    // Selects the current row again so that its editor shows changed values.
    virtual void Refresh();

    // The page's commands.
    void OnOK();
    void OnCancel();

    // A row's value: the data word of a list index or a bool (-1 or 0), 0
    // without an item; set as an int or as text.
    int GetItemInt(PropertyRow row) const;
    int SetItemInt(PropertyRow row, int value);
    int SetItemString(PropertyRow row, Zorvan::String text);
    Zorvan::String GetItemString(PropertyRow row) const;

    PropertyTree& GetTree() { return *m_tree; }
    Zorvan::String const& GetTitle() const { return m_title; }
    void SetTitle(Zorvan::String const& title);
    PropertyMap* GetSettings() const { return m_settings; }
    PropertyMap& GetPending() { return m_pending; }
    QWidget* GetOwner() const { return m_owner; }

    long OnPropertyTreeNotify(int code, PropertyItem* item) override;
    // The Button Assignment dialog's close notification.
    void OnDialogClosed(int dialogId, int code) override;

protected:
    // Subclasses call the base first, then add their rows and load values.
    virtual void OnInitDialog();
    virtual long OnBrowse(PropertyItem* item);
    virtual long OnReset(PropertyItem* item);
    virtual void OnButtonDlgDestroy();
    virtual void LoadValues() = 0;
    virtual void SaveValues() = 0;

    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    PropertyMap* m_settings;
    Zorvan::String m_title;
    PropertyMap m_pending;
    SettingsPageChoices m_choices;

private:
    void Close(bool save);
    void TearDown();

    PropertyTree* m_tree;
    QDialogButtonBox* m_buttons;
    QPointer<QWidget> m_owner;
    bool m_open = false;
};
