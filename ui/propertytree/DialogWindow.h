#pragma once
// Shows a dialog of the program as the window manager should treat it: a
// dialog window that belongs to its owner's window, so that it stays above
// the owner (which is often disabled while the dialog is open) and is
// raised and given the focus when it appears.

class QWidget;

// owner null: shown on its own. The dialog must have been made with the
// Qt::Dialog window type.
void ShowAsDialogOf(QWidget* dialog, QWidget* owner);
