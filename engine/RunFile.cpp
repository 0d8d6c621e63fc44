// Turning a path chosen by the user into a running game: stop what runs,
// find the first module (in name order) that accepts the file or a member of
// the zip archive, open it and hand it the path.
#include "engine/Engine.h"

#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "engine/QtString.h"
#include "engine/ZipArchive.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/Refusal.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <vector>

namespace ZorvanEngine {

namespace {

// Without surrounding double quotes and absolute against the working folder.
Zorvan::String CleanPath(Zorvan::String path)
{
    if (path.GetLength() > 0 && path[0] == L'"')
        path = path.Mid(1);
    if (path.GetLength() > 0 && path[path.GetLength() - 1] == L'"')
        path = path.Left(path.GetLength() - 1);
    if (!path.IsEmpty() && path[0] != L'/')
        path = ToZorvanString(QDir::cleanPath(QDir::current().absoluteFilePath(ToQString(path))));
    return path;
}

// Why a path can be no game at all, in the user's words; null when it
// names a readable file.
char const *Unopenable(Zorvan::String const &path)
{
    QFileInfo const info(ToQString(path));
    if (!info.exists())
        return "The file does not exist";
    if (info.isDir())
        return "The path names a folder";
    if (!info.isReadable())
        return "The file may not be read";
    return nullptr;
}

// On the console, and noted for the box that tells the user.
void ReportUnopenable(Zorvan::String const &path, char const *reason)
{
    Zorvan::printConsole("Unable to open %s: %s.\n", static_cast<char const *>(path), reason);
    Zorvan::noteRefusal(reason);
}

} // namespace

bool Engine::RunFile(Zorvan::String path, Module *given)
{
    Shutdown();
    Zorvan::clearRefusal();
    if (path.IsEmpty())
        return false;
    path = CleanPath(path);
    m_fileName = path;
    // A path that names no readable file is reported before any module is
    // asked to start it.
    if (char const *reason = Unopenable(path)) {
        ReportUnopenable(path, reason);
        return false;
    }

    bool const zipped = IsZipArchive(path);
    std::vector<Zorvan::String> candidates;
    if (zipped) {
        candidates = ZipMemberNames(path);
        if (candidates.empty()) {
            ReportUnopenable(path, "No file could be read from the zip archive");
            return false;
        }
    }
    candidates.push_back(path);

    for (int i = 0; i < GetModuleCount(); ++i) {
        ModuleDesc *desc = GetModuleDesc(i);
        for (Zorvan::String const &candidate : candidates) {
            if (!desc->IsExtension(candidate))
                continue;
            if (given) {
                m_activeModule = given;
                given->SetDesc(desc);
                given->ResetSettings();
                given->LoadSettings();
            } else {
                m_activeModule = OpenModule(i);
            }
            if (zipped)
                m_zippedFileName = candidate;
            if (!m_activeModule)
                continue;
            if (m_activeModule->OpenRom(path)) {
                m_running = true;
                return true;
            }
            if (!given)
                CloseModule(m_activeModule);
            m_activeModule = nullptr;
            return false;
        }
    }
    ReportUnopenable(path, zipped ? "No installed console takes any file in the zip archive"
                                  : "No installed console takes this kind of file");
    return false;
}

Zorvan::String Engine::GetRefusal()
{
    return Zorvan::String(Zorvan::lastRefusal().c_str());
}

} // namespace ZorvanEngine
