#include "frontend/ConsoleDialog.h"

#include "common/zorvan/Console.h"
#include "engine/QtString.h"
#include "ui/propertytree/TitleBand.h"

#include <QFontDatabase>
#include <QPlainTextEdit>

ConsoleDialog::ConsoleDialog() : ModelessDialog(DialogId), m_title(L"Console")
{
    setWindowTitle(ToQString(m_title));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("1006"));
    m_text->setReadOnly(true);
    // Console lines are often laid out in columns.
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
}

void ConsoleDialog::Show(QWidget *owner)
{
    if (IsOpen())
        return;
    // The text as it is now; later lines show when the console opens again.
    m_text->setPlainText(QString::fromUtf8(Zorvan::getConsole()));
    OpenOver(owner);
    m_text->setFocus();
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
