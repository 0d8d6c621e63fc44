#include "frontend/ConsoleDialog.h"

#include "common/zorvan/Console.h"
#include "engine/Engine.h"
#include "ui/propertytree/ModelessDialogOwner.h"
#include "engine/QtString.h"
#include "ui/propertytree/TitleBand.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>

ConsoleDialog::ConsoleDialog() : QWidget(nullptr, Qt::Window), m_title(L"Console")
{
    setWindowTitle(ToQString(m_title));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("1006"));
    m_text->setReadOnly(true);
    // Console lines are often laid out in columns.
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    resize(360, 480);
}

ConsoleDialog::~ConsoleDialog()
{
    if (m_open && m_owner)
        m_owner->setEnabled(true);
}

void ConsoleDialog::Show(QWidget *owner)
{
    if (m_open)
        return;
    if (!owner && ourEngine)
        owner = ourEngine->GetAppHwnd();
    m_owner = owner;
    // The text as it is now; later lines show when the console opens again.
    m_text->setPlainText(QString::fromUtf8(Zorvan::getConsole()));
    if (owner)
        setGeometry(owner->window()->geometry());
    m_open = true;
    if (owner)
        owner->setEnabled(false);
    show();
    raise();
    activateWindow();
    m_text->setFocus();
}

void ConsoleDialog::OnClose()
{
    if (!m_open)
        return;
    m_open = false;
    hide();
    if (m_owner) {
        m_owner->setEnabled(true);
        PostDialogClosed(m_owner, DialogId);
        m_owner->activateWindow();
    }
}

void ConsoleDialog::resizeEvent(QResizeEvent *event)
{
    // Below the title band, as wide as the window.
    m_text->setGeometry(0, TitleBandHeight + 1, width(), height() - (TitleBandHeight + 2));
    QWidget::resizeEvent(event);
}

void ConsoleDialog::paintEvent(QPaintEvent *)
{
    DrawTitleBand(this, ToQString(m_title));
}

void ConsoleDialog::closeEvent(QCloseEvent *event)
{
    // The window's close button is the Done button.
    event->ignore();
    OnClose();
}

void ConsoleDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        OnClose();
        return;
    }
    QWidget::keyPressEvent(event);
}
