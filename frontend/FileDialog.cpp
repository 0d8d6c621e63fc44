#include "frontend/FileDialog.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <dlfcn.h>
#include <limits.h>
#include <string>
#include <vector>

namespace {

bool QtDialog(QWidget *owner, OpenFileRequest &request)
{
    QStringList const filters = QtNameFilters(request.filter);
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (!request.initialFolder.isEmpty())
        dialog.setDirectory(request.initialFolder);
    AcceptTypedPaths(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    request.path = dialog.selectedFiles().front();
    qsizetype const index = filters.indexOf(dialog.selectedNameFilter());
    if (index >= 0)
        request.filterIndex = static_cast<int>(index) + 1;
    return true;
}

QtOpenFileDialog &QtDialogInUse()
{
    static QtOpenFileDialog dialog = QtDialog;
    return dialog;
}

// The old filter with every "|" made a terminator, as the plug-in expects.
std::wstring TerminatedFilter(QString const &filter)
{
    std::wstring text = filter.toStdWString();
    for (wchar_t &c : text) {
        if (c == L'|')
            c = L'\0';
    }
    // However the filter ended, the list ends with two terminators.
    text.push_back(L'\0');
    text.push_back(L'\0');
    return text;
}

// Keeps the Open button of one dialog enabled while its file name field
// names an existing file: the dialog judges by the folder it has listed,
// which does not hold a file typed with another folder's path.
class TypedPathWatcher : public QObject {
public:
    TypedPathWatcher(QFileDialog &dialog, QLineEdit *field, QPushButton *open)
        : QObject(&dialog), m_dialog(&dialog), m_field(field), m_open(open)
    {
        open->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, [this] { Check(); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The dialog disables the button again whenever it looks at the
        // field; look after it once it has.
        if (event->type() == QEvent::EnabledChange && watched == m_open && !m_open->isEnabled())
            QTimer::singleShot(0, this, [this] { Check(); });
        return false;
    }

private:
    void Check()
    {
        if (!m_open || !m_field || m_open->isEnabled())
            return;
        QString const typed = m_field->text().trimmed();
        if (typed.isEmpty())
            return;
        QFileInfo const file(QFileInfo(typed).isAbsolute() ? typed : m_dialog->directory().absoluteFilePath(typed));
        if (file.isFile())
            m_open->setEnabled(true);
    }

    QPointer<QFileDialog> m_dialog;
    QPointer<QLineEdit> m_field;
    QPointer<QWidget> m_open; // the Open button (watched while it is being destroyed, too)
};

} // namespace

void AcceptTypedPaths(QFileDialog &dialog)
{
    // Only Qt's own dialog has these parts; a platform's dialog judges for itself.
    auto *field = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *buttons = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QPushButton *open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    if (field && open)
        new TypedPathWatcher(dialog, field, open);
}

void SetQtOpenFileDialog(QtOpenFileDialog dialog)
{
    QtDialogInUse() = dialog ? std::move(dialog) : QtOpenFileDialog(QtDialog);
}

QStringList QtNameFilters(QString const &filter)
{
    QStringList const parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        if (name.isEmpty())
            break;
        // The name carries its patterns for the eye; Qt reads them from the
        // trailing parentheses, so they are rebuilt from the pattern part.
        qsizetype const open = name.lastIndexOf(QLatin1Char('('));
        if (open > 0 && name.endsWith(QLatin1Char(')')))
            name = name.left(open).trimmed();
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        filters << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
    }
    return filters;
}

bool CustomGetOpenFileName(QWidget *owner, OpenFileRequest &request)
{
    void *library = dlopen(kFileDialogPlugin, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return QtDialogInUse()(owner, request);
    auto const function = reinterpret_cast<GsGetOpenFileNameFunction>(dlsym(library, kFileDialogExport));
    if (!function) {
        dlclose(library);
        return QtDialogInUse()(owner, request);
    }

    std::wstring const filter = TerminatedFilter(request.filter);
    std::wstring const folder = request.initialFolder.toStdWString();
    std::vector<wchar_t> file(PATH_MAX, L'\0');
    GsOpenFileName ofn{};
    ofn.structSize = sizeof ofn;
    ofn.owner = owner;
    ofn.filter = filter.c_str();
    ofn.filterIndex = static_cast<unsigned>(request.filterIndex);
    ofn.file = file.data();
    ofn.maxFile = static_cast<unsigned>(file.size());
    ofn.initialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.flags = kGsFileMustExist;
    int const chosen = function(&ofn);
    dlclose(library);
    // A plug-in that overran nothing still might leave no terminator.
    file.back() = L'\0';
    if (!chosen || file[0] == L'\0')
        return false;
    request.path = QString::fromWCharArray(file.data());
    request.filterIndex = static_cast<int>(ofn.filterIndex);
    return true;
}

bool GetOpenFileName(QWidget *owner, OpenFileRequest &request, bool useCustom)
{
    return useCustom ? CustomGetOpenFileName(owner, request) : QtDialogInUse()(owner, request);
}
