#include "frontend/GlobalSettingsPage.h"

#include "engine/Engine.h"
#include "frontend/FileDialog.h"
#include "ui/propertytree/CheckItem.h"
#include "ui/propertytree/EditItem.h"
#include "ui/propertytree/ListItem.h"
#include "ui/propertytree/ValueItem.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

wchar_t const* const GlobalSettingsPage::Colors[] = {L"Black", L"White", nullptr};
wchar_t const* const GlobalSettingsPage::Orientations[] = {L"North", L"South", L"West", L"East", nullptr};
wchar_t const* const GlobalSettingsPage::Throttle[] = {L"Off", L"Low", L"Medium", L"High", nullptr};
wchar_t const* const GlobalSettingsPage::Priorities[] = {
    L"Idle", L"Lowest", L"Below Normal", L"Normal", L"Above Normal", L"Highest", L"Time Critical", nullptr};
wchar_t const* const GlobalSettingsPage::Drivers[] = {L"GDI", L"GAPI", L"RawFrameBuffer", L"Auto", nullptr};

namespace {

constexpr int White = 0xFFFFFF;
constexpr int OrientationCount = 4;

enum class Kind { Check, List, Edit, Browse };

struct RowDef {
    wchar_t const* name;
    Kind kind;
    int image;
    wchar_t const* const* choices;
    PropertyRow GlobalSettingsPage::*row;
};

struct CategoryDef {
    wchar_t const* name;
    int image;
    std::initializer_list<RowDef> rows;
};

} // namespace

GlobalSettingsPage::GlobalSettingsPage(PropertyMap* settings) : SettingsPage(settings)
{
}

void GlobalSettingsPage::OnInitDialog()
{
    SetTitle(L"Global Settings");
    SettingsPage::OnInitDialog();

    using P = GlobalSettingsPage;
    CategoryDef const categories[] = {
        {L"Display", 19, {
            {L"Driver", Kind::List, 30, Drivers, &P::m_driver},
            {L"Frame Rate Statistics", Kind::Check, 0, nullptr, &P::m_debug},
            {L"Disable Full Screen", Kind::Check, 0, nullptr, &P::m_noFullScreen},
            {L"Orientation", Kind::List, 19, Orientations, &P::m_orientation}}},
        {L"Sound", 15, {
            {L"Enable Sound", Kind::Check, 0, nullptr, &P::m_sound},
            {L"Volume", Kind::List, 21, SettingsPageChoices::Percent, &P::m_volume}}},
        {L"Input", 29, {
            {L"Use Virtual Pad", Kind::Check, 0, nullptr, &P::m_virtualPad},
            {L"Polling Method", Kind::Check, 0, nullptr, &P::m_inputPolling}}},
        {L"Tweak", 16, {
            {L"Custom File Dialog", Kind::Check, 0, nullptr, &P::m_customFileDlg},
            {L"Auto Pause", Kind::Check, 0, nullptr, &P::m_autoPause},
            {L"Save Game Path", Kind::Edit, 11, nullptr, &P::m_savePath},
            {L"CPU Throttle", Kind::List, 18, Throttle, &P::m_throttle},
            {L"Thread Priority", Kind::List, 18, Priorities, &P::m_priority}}},
        {L"Appearance", 30, {
            {L"Background Color", Kind::List, 24, Colors, &P::m_bgColor},
            {L"Background Image", Kind::Browse, 22, nullptr, &P::m_bgImage}}},
    };

    PropertyTree& tree = GetTree();
    PropertyRow display = nullptr;
    for (CategoryDef const& category : categories) {
        PropertyRow parent = tree.InsertItem(CategoryItem::Create(category.name, L""), category.image,
                                             category.image);
        if (!display)
            display = parent;
        for (RowDef const& def : category.rows) {
            PropertyItem* item = nullptr;
            switch (def.kind) {
            case Kind::Check: item = CheckItem::Create(def.name, false); break;
            case Kind::List: item = ListItem::Create(def.name, def.choices, 0); break;
            case Kind::Edit: item = EditItem::Create(def.name, L""); break;
            case Kind::Browse: item = BrowseItem::Create(def.name, L""); break;
            }
            this->*def.row = tree.InsertItem(item, def.image, def.image, parent);
        }
    }
    tree.scrollToItem(display);
    LoadValues();
}

void GlobalSettingsPage::LoadValues()
{
    PropertyMap& s = *m_settings;
    PropertyTree& tree = GetTree();

    SetItemInt(m_driver, s.GetInt(L"DisplayDriver"));
    tree.SetCheck(m_debug, s.GetBoolean(L"Debug") ? 1 : 0);
    tree.SetCheck(m_noFullScreen, s.GetBoolean(L"NoFullScreen") ? 1 : 0);
    // A name that is none of the four selects no entry, and saving keeps it.
    QString orientation = ToQString(s.GetString(L"Orientation"));
    int index = -1;
    for (int i = 0; i < OrientationCount; ++i)
        if (orientation == QString::fromWCharArray(Orientations[i]))
            index = i;
    SetItemInt(m_orientation, index);

    tree.SetCheck(m_sound, s.GetBoolean(L"Sound") ? 1 : 0);
    SetItemInt(m_volume, 10 - qBound(0, s.GetInt(L"Volume"), 100) / 10);

    tree.SetCheck(m_virtualPad, s.GetBoolean(L"VirtualPad") ? 1 : 0);
    tree.SetCheck(m_inputPolling, s.GetBoolean(L"InputPolling") ? 1 : 0);

    tree.SetCheck(m_customFileDlg, s.GetBoolean(L"CustomFileDlg") ? 1 : 0);
    tree.SetCheck(m_autoPause, s.GetBoolean(L"AutoPause") ? 1 : 0);
    SetItemString(m_savePath, s.GetString(L"SavedGameRoot"));
    SetItemInt(m_throttle, s.GetInt(L"CPUThrottle"));
    SetItemInt(m_priority, s.GetInt(L"ThreadPriority"));

    SetItemInt(m_bgColor, s.GetInt(L"BGColor") == White ? 1 : 0);
    SetItemString(m_bgImage, s.GetString(L"BGFileName"));
}

void GlobalSettingsPage::SaveValues()
{
    PropertyMap& s = *m_settings;
    PropertyTree& tree = GetTree();

    s.Set(L"DisplayDriver", GetItemInt(m_driver), false);
    s.Set(L"Sound", tree.GetCheck(m_sound), false);
    s.Set(L"Volume", 100 - 10 * GetItemInt(m_volume), false);

    // Switching between the dialogs starts the ROM folder afresh.
    bool custom = tree.GetCheck(m_customFileDlg);
    if (custom != s.GetBoolean(L"CustomFileDlg"))
        s.Set(L"ROMPath", ZorvanEngine::Engine::GetDocumentsFolder(), false);
    s.Set(L"CustomFileDlg", custom, false);

    s.Set(L"AutoPause", tree.GetCheck(m_autoPause), false);
    s.Set(L"NoFullScreen", tree.GetCheck(m_noFullScreen), false);
    s.Set(L"Debug", tree.GetCheck(m_debug), false);
    int orientation = GetItemInt(m_orientation);
    if (orientation >= 0 && orientation < OrientationCount)
        s.Set(L"Orientation", Orientations[orientation], false);
    s.Set(L"VirtualPad", tree.GetCheck(m_virtualPad), false);
    s.Set(L"InputPolling", tree.GetCheck(m_inputPolling), false);
    s.Set(L"CPUThrottle", GetItemInt(m_throttle), false);
    s.Set(L"ThreadPriority", GetItemInt(m_priority), false);

    s.Set(L"SavedGameRoot", SavePathFor(ToQString(GetItemString(m_savePath))), false);

    s.Set(L"BGFileName", GetItemString(m_bgImage), false);
    s.Set(L"BGColor", GetItemInt(m_bgColor) == 1 ? White : 0, false);
}

Zorvan::String GlobalSettingsPage::SavePathFor(QString const& typed)
{
    QString path = QDir::current().absoluteFilePath(typed);
    if (!typed.isEmpty() && QFileInfo(path).isDir())
        return ToZorvanString(QDir::cleanPath(path));
    return ZorvanEngine::Engine::GetDefaultSavePath();
}

long GlobalSettingsPage::OnBrowse(PropertyItem* item)
{
    PropertyRow row = GetTree().FindRow(item);
    if (row != m_bgImage)
        return 1;
    OpenFileRequest request;
    request.filter = QStringLiteral("Bitmap Files (*.bmp)|*.bmp||");
    request.initialFolder = ToQString(ZorvanEngine::Engine::GetDocumentsFolder());
    // The row as ticked on the page counts, not the stored setting.
    if (GetOpenFileName(this, request, GetTree().GetCheck(m_customFileDlg)))
        SetItemString(row, ToZorvanString(request.path));
    return 1;
}

long GlobalSettingsPage::OnReset(PropertyItem* item)
{
    PropertyRow row = GetTree().FindRow(item);
    if (row != m_bgImage)
        return 1;
    if (QMessageBox::question(this, QString(), QStringLiteral("Are you sure you want to reset this property?"),
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
        SetItemString(row, Zorvan::String());
    return 1;
}
