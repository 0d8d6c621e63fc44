#include "frontend/StopDialog.h"

#include <QDialogButtonBox>
#include <QRadioButton>
#include <QVBoxLayout>

StopDialog::StopDialog(QWidget *parent, bool running) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Stop"));
    m_closeGame = new QRadioButton(QStringLiteral("Close Game"), this);
    m_closeGame->setObjectName(QStringLiteral("closeGame"));
    m_exitQuintar = new QRadioButton(QStringLiteral("Exit Quintar"), this);
    m_exitQuintar->setObjectName(QStringLiteral("exitQuintar"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_closeGame);
    layout->addWidget(m_exitQuintar);
    layout->addWidget(buttons);
    SetChoice(running ? CloseGame : ExitQuintar);
}

StopDialog::Choice StopDialog::GetChoice() const
{
    return m_exitQuintar->isChecked() ? ExitQuintar : CloseGame;
}

void StopDialog::SetChoice(Choice choice)
{
    (choice == ExitQuintar ? m_exitQuintar : m_closeGame)->setChecked(true);
}
