// The "Input" rows of a console's settings page: one browse row per
// button of the console's pad, bound to a key ("vk" + name) and a joystick button
// ("js" + name) through the page's Button Assignment dialog. A binding made
// on the page waits in the page's pending map and reaches the module's
// settings only when the page is confirmed (SaveButtonBindings).
#pragma once

#include "modules/common/ConsoleSettingsPage.h"

namespace ConsoleGlue {

class ButtonRowsPage : public ConsoleSettingsPage {
public:
    struct ButtonRow {
        wchar_t const *name; // row text and the suffix of its two settings
        int image;
        int defaultKeyIndex; // entry of the platform's default key table
        int defaultJoystickButton;
    };
    // Every pad's buttons in tree order: the eight of the 6502 and Z80
    // consoles, then the handheld's shoulder buttons.
    static constexpr int kButtonCount = 10;
    static ButtonRow const kButtons[kButtonCount];
    static constexpr int kInputCategoryImage = 29;

    // A page with rows for the first `buttons` of kButtons.
    ButtonRowsPage(PropertyMap *settings, int buttons);

    // Each button row shows the name of its key (the pending binding, else
    // the module's), then the base refreshes. Joystick bindings are not shown.
    void Refresh() override;

    PropertyRow GetButtonRow(int button) const { return m_rows[button]; }

protected:
    // The base's initialisation; bindings left from a cancelled opening are
    // dropped.
    void OnInitDialog() override;
    // Appends the "Input" category with the button rows.
    void AddButtonRows();
    // A button row opens the Button Assignment dialog over the page (1);
    // any other row nothing (0).
    long OnBrowse(PropertyItem *item) override;
    // After a Yes to the question, unbinds the selected button row (1); on
    // No nothing (0).
    long OnReset(PropertyItem *item) override;
    // Takes the dialog's outcome for the selected button row: a captured key
    // or joystick button, or the unbinding (key 0, joystick button 25).
    void OnButtonDlgDestroy() override;
    // Copies the pending bindings into the module's settings.
    void SaveButtonBindings();

private:
    // The button of a row, or -1.
    int ButtonOf(PropertyRow row) const;

    int const m_buttons;
    PropertyRow m_rows[kButtonCount] = {};
};

} // namespace ConsoleGlue
