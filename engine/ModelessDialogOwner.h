#pragma once
// The owner of a modeless dialog (a settings page, the Button Assignment
// dialog, the front end's Console and HTML dialogs). Once the dialog's window
// is gone, the dialog calls its owner with its identifier and the close code,
// from the event loop, after the call that closed it has returned.
//
// The notification is posted and delivered by code of the engine library,
// never of a module library: the owner may close the module whose page just
// closed, and with it unload the module's library, from inside the call.

class QWidget;

class ModelessDialogOwner {
public:
    static constexpr int CloseCode = 2;

    virtual ~ModelessDialogOwner() = default;
    virtual void OnDialogClosed(int dialogId, int code) = 0;
};

// Posts the close notification to owner when it is a ModelessDialogOwner
// (nothing happens when the owner is gone by then).
void PostDialogClosed(QWidget* owner, int dialogId);
