#include "ui/propertytree/DialogWindow.h"

#include <QWidget>
#include <QWindow>

void ShowAsDialogOf(QWidget* dialog, QWidget* owner)
{
    if (!dialog)
        return;
    QWidget* top = owner ? owner->window() : nullptr;
    if (top && top != dialog) {
        // Both need their native windows before one can belong to the other.
        top->winId();
        dialog->winId();
        if (QWindow* handle = dialog->windowHandle())
            handle->setTransientParent(top->windowHandle());
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
