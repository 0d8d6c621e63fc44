#pragma once

#include <QString>
#include <Qt>

namespace Ondrel {

// The old numeric key codes, kept in settings and key maps so that stored
// bindings keep their meaning.
namespace VirtualKey {
enum : int {
    Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Pause = 19, Capital = 20,
    Escape = 27, Space = 32, Prior = 33, Next = 34, End = 35, Home = 36,
    Left = 37, Up = 38, Right = 39, Down = 40, Snapshot = 44, Insert = 45, Delete = 46,
    LeftWin = 91, RightWin = 92, Apps = 93,
    Numpad0 = 96, Multiply = 106, Add = 107, Subtract = 109, Decimal = 110, Divide = 111,
    F1 = 112, F24 = 135, NumLock = 144, ScrollLock = 145,
};
}

// The code of a Qt key (0 when it has none). Keypad keys are told apart by
// the keypad modifier.
int VirtualKeyFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The name of the keyboard key with the code ("Up", "A", "7", "F5",
// "Space", "Num 4"); empty for a code no key has.
QString VirtualKeyName(int virtualKey);

} // namespace Ondrel
