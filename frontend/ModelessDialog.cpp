#include "frontend/ModelessDialog.h"

#include "engine/Engine.h"
#include "engine/ModelessDialogOwner.h"
#include "ui/propertytree/DialogWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>

ModelessDialog::ModelessDialog(int dialogId) : QWidget(nullptr, Qt::Dialog), m_dialogId(dialogId)
{
    resize(360, 480);
}

ModelessDialog::~ModelessDialog()
{
    if (m_open && m_owner)
        m_owner->setEnabled(true);
}

bool ModelessDialog::OpenOver(QWidget *owner)
{
    if (m_open)
        return false;
    if (!owner && ourEngine)
        owner = ourEngine->GetAppHwnd();
    m_owner = owner;
    if (owner)
        setGeometry(owner->window()->geometry());
    m_open = true;
    if (owner)
        owner->setEnabled(false);
    ShowAsDialogOf(this, owner);
    return true;
}

void ModelessDialog::OnClose()
{
    if (!m_open)
        return;
    m_open = false;
    hide();
    OnClosing();
    if (m_owner) {
        m_owner->setEnabled(true);
        PostDialogClosed(m_owner, m_dialogId);
        m_owner->activateWindow();
    }
}

void ModelessDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    OnClose();
}

void ModelessDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        OnClose();
        return;
    }
    QWidget::keyPressEvent(event);
}
