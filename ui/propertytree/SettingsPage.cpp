#include "ui/propertytree/SettingsPage.h"

#include "engine/Engine.h"
#include "ui/propertytree/DialogWindow.h"
#include "ui/propertytree/TreeImages.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QVBoxLayout>

wchar_t const* const SettingsPageChoices::Percent[] = {
    L"100%", L"90%", L"80%", L"70%", L"60%", L"50%", L"40%", L"30%", L"20%", L"10%", L"0%", nullptr};
wchar_t const* const SettingsPageChoices::EvenNumbers[] = {
    L"2", L"4", L"6", L"8", L"10", L"12", L"14", L"16", L"18", L"20", nullptr};
wchar_t const* const SettingsPageChoices::SoundRates[] = {
    L"High (44khz)", L"Medium (22khz)", L"Low (11khz)", nullptr};
wchar_t const* const SettingsPageChoices::ScreenScale[] = {
    L"100%", L"105%", L"110%", L"115%", L"120%", L"125%", L"130%", L"135%", L"140%", L"145%",
    L"150%", L"Auto Scale", L"Window Size", nullptr};
wchar_t const* const SettingsPageChoices::Digits[] = {
    L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", nullptr};

SettingsPage::SettingsPage(PropertyMap* settings) : QWidget(nullptr, Qt::Dialog), m_settings(settings)
{
    setWindowTitle(QStringLiteral("Properties"));
    m_tree = new PropertyTree(this);
    m_tree->setObjectName(QStringLiteral("tree"));
    m_tree->SetOwner(this);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &SettingsPage::OnOK);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &SettingsPage::OnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, TitleBandHeight + 1, 0, 6);
    layout->setSpacing(6);
    layout->addWidget(m_tree, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(6, 0, 6, 0);
    buttonRow->addWidget(m_buttons);
    layout->addLayout(buttonRow);
    resize(360, 480);
}

SettingsPage::~SettingsPage()
{
    if (m_open) {
        TearDown();
        if (m_owner)
            m_owner->setEnabled(true);
    }
}

void SettingsPage::SetTitle(Zorvan::String const& title)
{
    m_title = title;
    setWindowTitle(ToQString(title));
    update();
}

void SettingsPage::Show(QWidget* owner)
{
    if (m_open)
        return;
    if (!owner && ourEngine)
        owner = ourEngine->GetAppHwnd();
    m_owner = owner;
    if (owner) {
        QWidget* frame = owner->window();
        setGeometry(frame->geometry());
    }
    m_open = true;
    OnInitDialog();
    if (owner)
        owner->setEnabled(false);
    ShowAsDialogOf(this, owner);
    m_tree->FitNameColumn();
    m_tree->setFocus();
}

void SettingsPage::OnInitDialog()
{
    m_tree->SetImageList(TreeImages());
}

void SettingsPage::Refresh()
{
    m_tree->Reselect();
}

void SettingsPage::OnOK()
{
    Close(true);
}

void SettingsPage::OnCancel()
{
    Close(false);
}

void SettingsPage::Close(bool save)
{
    if (!m_open)
        return;
    if (save) {
        // What is typed into the open editor counts.
        if (QWidget* editor = m_tree->GetEditor())
            m_tree->EndEdit(editor);
        SaveValues();
    }
    if (m_owner)
        m_owner->setEnabled(true);
    hide();
    TearDown();
    m_open = false;
    if (m_owner) {
        PostDialogClosed(m_owner, DialogId);
        m_owner->activateWindow();
        m_owner->setFocus();
    }
}

void SettingsPage::TearDown()
{
    m_tree->CloseEditor(false);
    m_tree->DeleteAllRows();
}

void SettingsPage::closeEvent(QCloseEvent* event)
{
    // Closing the window is Cancel; the close itself goes ahead, so that
    // quitting the application is never held up by an open page.
    OnCancel();
    event->accept();
}

void SettingsPage::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        OnCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsPage::paintEvent(QPaintEvent*)
{
    DrawTitleBand(this, ToQString(m_title));
}

long SettingsPage::OnPropertyTreeNotify(int code, PropertyItem* item)
{
    switch (code) {
    case PTN_RESET:
        return OnReset(item);
    case PTN_BROWSE:
        return OnBrowse(item);
    default:
        return 0;
    }
}

void SettingsPage::OnDialogClosed(int dialogId, int code)
{
    if (dialogId == ButtonDialogId && code == ModelessDialogOwner::CloseCode)
        OnButtonDlgDestroy();
}

long SettingsPage::OnBrowse(PropertyItem*)
{
    QMessageBox::information(this, QString(), QStringLiteral("Implement OnBrowse() in child class."));
    return 1;
}

long SettingsPage::OnReset(PropertyItem*)
{
    QMessageBox::information(this, QString(), QStringLiteral("Implement OnReset() in child class."));
    return 1;
}

void SettingsPage::OnButtonDlgDestroy()
{
    QMessageBox::information(this, QString(), QStringLiteral("Implement OnButtonDlgDestroy() in child class."));
}

int SettingsPage::GetItemInt(PropertyRow row) const
{
    PropertyItem* item = m_tree->GetItem(row);
    return item ? VariantWord(item->GetValue()) : 0;
}

int SettingsPage::SetItemInt(PropertyRow row, int value)
{
    return m_tree->SetItemValue(row, value);
}

int SettingsPage::SetItemString(PropertyRow row, Zorvan::String text)
{
    return m_tree->SetItemValue(row, ToQString(text));
}

Zorvan::String SettingsPage::GetItemString(PropertyRow row) const
{
    PropertyItem* item = m_tree->GetItem(row);
    return item ? ToZorvanString(item->GetValue().toString()) : Zorvan::String();
}
