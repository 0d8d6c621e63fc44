// Turning a path chosen by the user into a running game: stop what runs,
// find the first module (in name order) that accepts the file or a member of
// the zip archive, open it and hand it the path.
#include "engine/Engine.h"

#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "engine/QtString.h"
#include "engine/ZipArchive.h"

#include <QDir>
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

} // namespace

bool Engine::RunFile(Zorvan::String path, Module *given)
{
    Shutdown();
    if (path.IsEmpty())
        return false;
    path = CleanPath(path);
    m_fileName = path;

    bool const zipped = IsZipArchive(path);
    std::vector<Zorvan::String> candidates;
    if (zipped) {
        candidates = ZipMemberNames(path);
        if (candidates.empty())
            return false;
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
    return false;
}

} // namespace ZorvanEngine
