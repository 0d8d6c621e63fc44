// The settings page glue of the console modules: the page over the module's
// settings with its embedded Button Assignment dialog, the name of a bound
// key, and the "Skin" rows that choose the pad skin ("PadSkin").
//
// A console's page derives from it, builds its rows in OnInitDialog
// (calling AddSkinItems after its own), calls LoadPadSkin from LoadValues
// and SavePadSkin from SaveValues.
#pragma once

#include "common/zorvan/String.h"
#include "ui/propertytree/ButtonAssignDialog.h"
#include "ui/propertytree/SettingsPage.h"

#include <vector>

namespace ConsoleGlue {

class ConsoleSettingsPage : public SettingsPage {
public:
    // The page over the module's settings, its dialog not yet shown.
    explicit ConsoleSettingsPage(PropertyMap *settings);

    // The text of a key code, read on its low byte: "None" for 0, "Up",
    // "Down", "Left", "Right", "Num /", "Pause", "Enter", "F1" to "F24",
    // "Button1" to "Button15" for 193 to 207, else the keyboard's name of
    // the key ("X", "7", "Space", "Esc", "Num 4"), or the code in decimal
    // when no key has it.
    static Zorvan::String GetKeyName(int code);

    ButtonAssignDialog &GetButtonDialog() { return m_buttonDialog; }
    // The "Name" row of the skin rows while the page is shown; null before
    // the first AddSkinItems.
    PropertyRow GetSkinRow() const { return m_skinRow; }

    static constexpr int kSkinCategoryImage = 25;
    static constexpr int kSkinListImage = 22;

protected:
    // Reads the names of the engine's pad skins again and appends the
    // "Skin" category with its "Name" list of them to the tree.
    void AddSkinItems();
    // Selects the skin named by "PadSkin"; no change when none is so named.
    void LoadPadSkin();
    // "PadSkin" = the name of the chosen skin.
    void SavePadSkin();

    ButtonAssignDialog m_buttonDialog;

private:
    PropertyRow m_skinRow = nullptr;
    std::vector<Zorvan::String> m_skinNames;
};

} // namespace ConsoleGlue
