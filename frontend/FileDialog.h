// The open-file dialog of the File Open command: Qt's own dialog, or the
// optional plug-in libgsgetfile.so, looked up by name at each use (so a
// plug-in put beside the program later is found without a restart). A
// missing plug-in or export falls back to Qt's dialog without a word.
#pragma once

#include <QString>

#include <functional>

class QFileDialog;
class QWidget;

// The structure handed to the plug-in's gsGetOpenFileName, which returns
// non-zero when the user chose a file.
extern "C" {
struct GsOpenFileName {
    unsigned structSize;     // sizeof(GsOpenFileName)
    QWidget *owner;          // the window the dialog belongs to
    wchar_t const *filter;   // "Name\0pattern;pattern\0...\0\0"
    unsigned filterIndex;    // 1-based; the plug-in writes back the one used
    wchar_t *file;           // receives the chosen path, terminated
    unsigned maxFile;        // characters in file, the terminator included
    wchar_t const *initialDir; // null when none
    unsigned flags;          // kGsFileMustExist
};
using GsGetOpenFileNameFunction = int (*)(GsOpenFileName *);
}

inline constexpr unsigned kGsFileMustExist = 0x1000;
inline constexpr char kFileDialogPlugin[] = "libgsgetfile.so";
inline constexpr char kFileDialogExport[] = "gsGetOpenFileName";

// One open-file question. The filter is in the program's old form: pairs of
// "Name (*.a)|*.a|" ending with an extra "|".
struct OpenFileRequest {
    QString filter;
    int filterIndex = 1; // 1-based, as stored in "DefaultExt"
    QString initialFolder;
    // Filled on success.
    QString path;
};

// Qt's dialog by default; tests put their own in its place.
using QtOpenFileDialog = std::function<bool(QWidget *owner, OpenFileRequest &request)>;
void SetQtOpenFileDialog(QtOpenFileDialog dialog);

// Asks for a file that exists: through the plug-in when useCustom is set
// and the plug-in is there, else through Qt's dialog. True when one was
// chosen (request.path and request.filterIndex are then set).
bool GetOpenFileName(QWidget *owner, OpenFileRequest &request, bool useCustom);
// The plug-in's dialog, or Qt's when the plug-in or its export is missing.
bool CustomGetOpenFileName(QWidget *owner, OpenFileRequest &request);

// Lets the Open button of Qt's own file dialog accept a typed path that
// names an existing file anywhere (the dialog alone accepts only what the
// folder it shows lists).
void AcceptTypedPaths(QFileDialog &dialog);

// The old filter as Qt name filters, one per pair ("Zip Files (*.zip)").
// "*.*" becomes "*", which is what it meant: every file.
QStringList QtNameFilters(QString const &filter);
