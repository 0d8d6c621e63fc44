// The names a settings page shows for bound keys.
#include "modules/common/ConsoleSettingsPage.h"

#include "engine/QtString.h"
#include "platform/ondrel/VirtualKeys.h"

namespace ConsoleGlue {

namespace {

struct NamedKey {
    int code;
    wchar_t const *name;
};

constexpr NamedKey kNamedKeys[] = {
    {0, L"None"},   {38, L"Up"},    {40, L"Down"},   {37, L"Left"},
    {39, L"Right"}, {111, L"Num /"}, {19, L"Pause"}, {13, L"Enter"},
};

// Joystick buttons are recorded as these codes.
constexpr int kFirstButton = 193;
constexpr int kLastButton = 207;
constexpr int kFirstFunctionKey = 112;
constexpr int kLastFunctionKey = 135;

} // namespace

Zorvan::String ConsoleSettingsPage::GetKeyName(int code)
{
    int const key = code & 0xFF;
    for (NamedKey const &named : kNamedKeys) {
        if (named.code == key)
            return Zorvan::String(named.name);
    }
    Zorvan::String text;
    if (key >= kFirstButton && key <= kLastButton) {
        text.Format(L"Button%d", key - (kFirstButton - 1));
    } else if (key >= kFirstFunctionKey && key <= kLastFunctionKey) {
        text.Format(L"F%d", key - (kFirstFunctionKey - 1));
    } else {
        // The keyboard's name of the key; the number only for a code no key has.
        text = ToZorvanString(Ondrel::VirtualKeyName(key));
        if (text.IsEmpty())
            text.Format(L"%d", key);
    }
    return text;
}

} // namespace ConsoleGlue
