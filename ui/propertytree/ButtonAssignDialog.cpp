#include "ui/propertytree/ButtonAssignDialog.h"

#include "engine/Engine.h"
#include "platform/ondrel/Input.h"
#include "platform/ondrel/VirtualKeys.h"
#include "engine/ModelessDialogOwner.h"
#include "ui/propertytree/DialogWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ButtonAssignDialog::ButtonAssignDialog(Ondrel::Input* input)
    : QWidget(nullptr, Qt::Dialog), m_input(input)
{
    setWindowTitle(QStringLiteral("Input Mapping"));
    auto* text = new QLabel(QStringLiteral("Press a key or a joystick button."), this);
    text->setAlignment(Qt::AlignCenter);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* unbind = new QPushButton(QStringLiteral("Unbind"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    unbind->setObjectName(QStringLiteral("unbind"));
    // Keys belong to the capture, not to the buttons.
    cancel->setFocusPolicy(Qt::NoFocus);
    unbind->setFocusPolicy(Qt::NoFocus);
    connect(cancel, &QPushButton::clicked, this, &ButtonAssignDialog::OnCancel);
    connect(unbind, &QPushButton::clicked, this, &ButtonAssignDialog::OnUnbind);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(unbind);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
}

ButtonAssignDialog::~ButtonAssignDialog()
{
    if (m_open) {
        qApp->removeEventFilter(this);
        Release();
    }
}

Ondrel::Input* ButtonAssignDialog::Input() const
{
    if (m_input)
        return m_input;
    return ourEngine ? ourEngine->GetInput() : nullptr;
}

bool ButtonAssignDialog::GameRunning()
{
    return ourEngine && ourEngine->IsRunning();
}

bool ButtonAssignDialog::IsReservedKey(int virtualKey)
{
    switch (virtualKey) {
    case 0: case 91: case 92: case 130: case 131: case 132: case 134:
        return true;
    default:
        return false;
    }
}

void ButtonAssignDialog::Show(QWidget* owner)
{
    if (m_open)
        return;
    if (Ondrel::Input* input = Input()) {
        if (!GameRunning())
            input->Start();
        input->Open();
    }
    m_key = 0;
    m_joystickButton = NoJoystickButton;
    m_result = Captured;
    m_timer = startTimer(PollMilliseconds);
    m_owner = owner;
    if (owner)
        owner->setEnabled(false);
    qApp->installEventFilter(this);
    m_open = true;
    adjustSize();
    if (owner) {
        QRect area = owner->window()->geometry();
        move(area.center() - rect().center());
    }
    ShowAsDialogOf(this, owner);
}

bool ButtonAssignDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (m_open && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        int code = Ondrel::VirtualKeyFromQtKey(key->key(), key->modifiers());
        if (!IsReservedKey(code)) {
            m_key = code;
            Close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ButtonAssignDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer)
        Poll();
    else
        QWidget::timerEvent(event);
}

void ButtonAssignDialog::Poll()
{
    Ondrel::Input* input = Input();
    if (!m_open || !input)
        return;
    input->Update();
    bool captured = false;
    // Ascending, so the highest code and the highest button win.
    for (int code = 0; code < Ondrel::Input::KeyCount; ++code) {
        if (input->IsKeyDown(code) == 1 && !IsReservedKey(code)) {
            m_key = code;
            captured = true;
        }
    }
    for (int button = 0; button < Ondrel::Input::JoystickButtonCount; ++button) {
        if (input->IsJoystickButtonDown(button) == 1) {
            m_joystickButton = button;
            captured = true;
        }
    }
    if (captured)
        Close();
}

void ButtonAssignDialog::OnCancel()
{
    if (!m_open)
        return;
    m_result = Cancelled;
    Close();
}

void ButtonAssignDialog::OnUnbind()
{
    if (!m_open)
        return;
    m_result = Unbound;
    Close();
}

void ButtonAssignDialog::closeEvent(QCloseEvent* event)
{
    // Closing the window is Cancel.
    OnCancel();
    event->accept();
}

void ButtonAssignDialog::Release()
{
    if (Ondrel::Input* input = Input()) {
        input->Close();
        if (!GameRunning())
            input->Stop();
    }
    if (m_owner)
        m_owner->setEnabled(true);
}

void ButtonAssignDialog::Close()
{
    if (!m_open)
        return;
    m_open = false;
    Release();
    killTimer(m_timer);
    m_timer = 0;
    qApp->removeEventFilter(this);
    hide();
    if (m_owner) {
        m_owner->update();
        PostDialogClosed(m_owner, DialogId);
    }
}
