#include "frontend/HtmlHostDialog.h"

#include "engine/QtString.h"
#include "frontend/HTMLView.h"

#include <QVBoxLayout>

HtmlHostDialog::HtmlHostDialog() : ModelessDialog(DialogId)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

HtmlHostDialog::~HtmlHostDialog()
{
    if (IsOpen())
        OnClosing();
}

void HtmlHostDialog::Show(HTMLView *view, QWidget *owner)
{
    if (IsOpen() || !view)
        return;
    m_view = view;
    setWindowTitle(QString());
    if (QWidget *window = view->CreateView(this))
        layout()->addWidget(window);
    OpenOver(owner);
    if (QWidget *window = view->GetWindow())
        window->setFocus();
}

void HtmlHostDialog::SetTitle(Zorvan::String const &title)
{
    setWindowTitle(ToQString(title));
}

void HtmlHostDialog::OnClosing()
{
    if (m_view)
        m_view->DestroyView();
}
