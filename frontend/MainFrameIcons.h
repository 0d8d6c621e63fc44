// The tool bar's pictures, drawn for this program: each in colour for the
// usable button and in greys for the disabled one.
#pragma once

#include <QIcon>
#include <QPixmap>

inline constexpr int kToolBarIconSize = 16;

enum class ToolBarIcon { Open, Play, Pause, Reset, Save, Load, Tools, Exit, Help };

QPixmap ToolBarPixmap(ToolBarIcon icon, bool disabled);
// Both pictures, as the normal and the disabled mode of one icon.
QIcon ToolBarIconSet(ToolBarIcon icon);
