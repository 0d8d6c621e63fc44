#include "frontend/HtmlHostDialog.h"

#include "engine/Engine.h"
#include "frontend/HTMLView.h"
#include "ui/propertytree/ModelessDialogOwner.h"
#include "engine/QtString.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

HtmlHostDialog::HtmlHostDialog() : QWidget(nullptr, Qt::Window)
{
    setWindowTitle(QString());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    resize(360, 480);
}

HtmlHostDialog::~HtmlHostDialog()
{
    if (m_open) {
        if (m_view)
            m_view->DestroyView();
        if (m_owner)
            m_owner->setEnabled(true);
    }
}

void HtmlHostDialog::Show(HTMLView *view, QWidget *owner)
{
    if (m_open || !view)
        return;
    if (!owner && ourEngine)
        owner = ourEngine->GetAppHwnd();
    m_owner = owner;
    m_view = view;
    setWindowTitle(QString());
    if (owner)
        setGeometry(owner->window()->geometry());
    if (QWidget *window = view->CreateView(this))
        layout()->addWidget(window);
    m_open = true;
    if (owner)
        owner->setEnabled(false);
    show();
    raise();
    activateWindow();
    if (QWidget *window = view->GetWindow())
        window->setFocus();
}

void HtmlHostDialog::SetTitle(Zorvan::String const &title)
{
    setWindowTitle(ToQString(title));
}

void HtmlHostDialog::OnClose()
{
    if (!m_open)
        return;
    m_open = false;
    hide();
    if (m_view)
        m_view->DestroyView();
    if (m_owner) {
        m_owner->setEnabled(true);
        PostDialogClosed(m_owner, DialogId);
        m_owner->activateWindow();
    }
}

void HtmlHostDialog::closeEvent(QCloseEvent *event)
{
    // The window's close button is the Done button.
    event->ignore();
    OnClose();
}

void HtmlHostDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        OnClose();
        return;
    }
    QWidget::keyPressEvent(event);
}
