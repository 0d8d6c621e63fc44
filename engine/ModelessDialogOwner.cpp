#include "engine/ModelessDialogOwner.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

void PostDialogClosed(QWidget* owner, int dialogId)
{
    if (!owner)
        return;
    QPointer<QWidget> target(owner);
    QTimer::singleShot(0, owner, [target, dialogId] {
        if (auto* listener = dynamic_cast<ModelessDialogOwner*>(target.data()))
            listener->OnDialogClosed(dialogId, ModelessDialogOwner::CloseCode);
    });
}
