#include "platform/ondrel/VirtualKeys.h"

namespace Ondrel {

namespace {

struct KeyPair {
    int qtKey;
    int virtualKey;
};

// Keys whose code is not their character.
constexpr KeyPair Named[] = {
    {Qt::Key_Backspace, VirtualKey::Back}, {Qt::Key_Tab, VirtualKey::Tab}, {Qt::Key_Backtab, VirtualKey::Tab},
    {Qt::Key_Return, VirtualKey::Return}, {Qt::Key_Enter, VirtualKey::Return}, {Qt::Key_Shift, VirtualKey::Shift},
    {Qt::Key_Control, VirtualKey::Control}, {Qt::Key_Alt, VirtualKey::Menu}, {Qt::Key_Pause, VirtualKey::Pause},
    {Qt::Key_CapsLock, VirtualKey::Capital}, {Qt::Key_Escape, VirtualKey::Escape}, {Qt::Key_Space, VirtualKey::Space},
    {Qt::Key_PageUp, VirtualKey::Prior}, {Qt::Key_PageDown, VirtualKey::Next}, {Qt::Key_End, VirtualKey::End},
    {Qt::Key_Home, VirtualKey::Home}, {Qt::Key_Left, VirtualKey::Left}, {Qt::Key_Up, VirtualKey::Up},
    {Qt::Key_Right, VirtualKey::Right}, {Qt::Key_Down, VirtualKey::Down}, {Qt::Key_Print, VirtualKey::Snapshot},
    {Qt::Key_Insert, VirtualKey::Insert}, {Qt::Key_Delete, VirtualKey::Delete}, {Qt::Key_Meta, VirtualKey::LeftWin},
    {Qt::Key_Super_L, VirtualKey::LeftWin}, {Qt::Key_Super_R, VirtualKey::RightWin}, {Qt::Key_Menu, VirtualKey::Apps},
    {Qt::Key_NumLock, VirtualKey::NumLock}, {Qt::Key_ScrollLock, VirtualKey::ScrollLock},
    {Qt::Key_Semicolon, 186}, {Qt::Key_Colon, 186}, {Qt::Key_Equal, 187}, {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188}, {Qt::Key_Less, 188}, {Qt::Key_Minus, 189}, {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190}, {Qt::Key_Greater, 190}, {Qt::Key_Slash, 191}, {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192}, {Qt::Key_AsciiTilde, 192}, {Qt::Key_BracketLeft, 219}, {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220}, {Qt::Key_Bar, 220}, {Qt::Key_BracketRight, 221}, {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222}, {Qt::Key_QuoteDbl, 222},
};

// Keypad keys (with the keypad modifier).
constexpr KeyPair Keypad[] = {
    {Qt::Key_Asterisk, VirtualKey::Multiply}, {Qt::Key_Plus, VirtualKey::Add}, {Qt::Key_Minus, VirtualKey::Subtract},
    {Qt::Key_Period, VirtualKey::Decimal}, {Qt::Key_Comma, VirtualKey::Decimal}, {Qt::Key_Slash, VirtualKey::Divide},
    {Qt::Key_Enter, VirtualKey::Return},
};

struct KeyName {
    int virtualKey;
    char const* name;
};

constexpr KeyName Names[] = {
    {VirtualKey::Back, "Backspace"}, {VirtualKey::Tab, "Tab"}, {VirtualKey::Return, "Enter"},
    {VirtualKey::Shift, "Shift"}, {VirtualKey::Control, "Ctrl"}, {VirtualKey::Menu, "Alt"},
    {VirtualKey::Pause, "Pause"}, {VirtualKey::Capital, "Caps Lock"}, {VirtualKey::Escape, "Esc"},
    {VirtualKey::Space, "Space"}, {VirtualKey::Prior, "Page Up"}, {VirtualKey::Next, "Page Down"},
    {VirtualKey::End, "End"}, {VirtualKey::Home, "Home"}, {VirtualKey::Left, "Left"}, {VirtualKey::Up, "Up"},
    {VirtualKey::Right, "Right"}, {VirtualKey::Down, "Down"}, {VirtualKey::Snapshot, "Print"},
    {VirtualKey::Insert, "Insert"}, {VirtualKey::Delete, "Delete"}, {VirtualKey::LeftWin, "Left Windows"},
    {VirtualKey::RightWin, "Right Windows"}, {VirtualKey::Apps, "Menu"}, {VirtualKey::Multiply, "Num *"},
    {VirtualKey::Add, "Num +"}, {VirtualKey::Subtract, "Num -"}, {VirtualKey::Decimal, "Num ."},
    {VirtualKey::Divide, "Num /"}, {VirtualKey::NumLock, "Num Lock"}, {VirtualKey::ScrollLock, "Scroll Lock"},
    {186, ";"}, {187, "="}, {188, ","}, {189, "-"}, {190, "."}, {191, "/"}, {192, "`"}, {219, "["}, {220, "\\"},
    {221, "]"}, {222, "'"},
};

} // namespace

int VirtualKeyFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return VirtualKey::Numpad0 + (qtKey - Qt::Key_0);
        for (KeyPair const& k : Keypad)
            if (k.qtKey == qtKey)
                return k.virtualKey;
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;  // letters and digits share their codes
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return VirtualKey::F1 + (qtKey - Qt::Key_F1);
    for (KeyPair const& k : Named)
        if (k.qtKey == qtKey)
            return k.virtualKey;
    return 0;
}

QString VirtualKeyName(int virtualKey)
{
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
        return QString(QChar(virtualKey));
    if (virtualKey >= VirtualKey::F1 && virtualKey <= VirtualKey::F24)
        return QStringLiteral("F%1").arg(virtualKey - VirtualKey::F1 + 1);
    if (virtualKey >= VirtualKey::Numpad0 && virtualKey <= VirtualKey::Numpad0 + 9)
        return QStringLiteral("Num %1").arg(virtualKey - VirtualKey::Numpad0);
    for (KeyName const& k : Names)
        if (k.virtualKey == virtualKey)
            return QString::fromLatin1(k.name);
    return QString();
}

} // namespace Ondrel
