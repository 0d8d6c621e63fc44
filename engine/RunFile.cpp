// Turning a path chosen by the user into a running game: stop what runs,
// find the first module (in name order) that accepts the file or a member of
// the zip archive, open it and hand it the path.
#include "engine/Engine.h"

#include "engine/Module.h"
#include "engine/ModuleDesc.h"
#include "engine/QtString.h"

#include <QDir>
#include <QString>

#include <minizip/unzip.h>

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

// A zip archive is named so, or begins with a zip member header; a folder
// that merely has ".zip" in its name does not make a file an archive.
bool IsZipArchive(Zorvan::String const &path)
{
    Zorvan::String lower = path;
    lower.MakeLower();
    if (lower.GetLength() >= 4 && lower.Right(4) == L".zip")
        return true;
    FILE *file = std::fopen(static_cast<char const *>(path), "rb");
    if (!file)
        return false;
    unsigned char signature[4] = {};
    size_t const read = std::fread(signature, 1, sizeof signature, file);
    std::fclose(file);
    return read == 4 && signature[0] == 'P' && signature[1] == 'K' && signature[2] == 3 && signature[3] == 4;
}

// The names of every member, in archive order; empty when the archive
// cannot be read. Names are read at their full stored length, whatever it is.
std::vector<Zorvan::String> ZipMemberNames(Zorvan::String const &path)
{
    std::vector<Zorvan::String> names;
    unzFile zip = unzOpen(static_cast<char const *>(path));
    if (!zip)
        return names;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info info{};
        if (unzGetCurrentFileInfo(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        std::vector<char> name(info.size_filename + 1, '\0');
        if (unzGetCurrentFileInfo(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr,
                                  0) != UNZ_OK)
            break;
        names.emplace_back(name.data(), static_cast<int>(info.size_filename));
    }
    unzClose(zip);
    return names;
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
