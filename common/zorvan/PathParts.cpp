#include "common/zorvan/PathParts.h"

#include <cstring>
#include <initializer_list>

namespace Zorvan {

namespace {

// Copies n bytes of text into out (size bytes), cut to fit, terminated.
void putPart(char *out, size_t size, char const *text, size_t n)
{
    if (!out)
        return;
    if (n > size - 1)
        n = size - 1;
    std::memcpy(out, text, n);
    out[n] = 0;
}

} // namespace

void _splitpath(char const *path, char *drive, char *dir, char *fname, char *ext)
{
    if (!path)
        path = "";
    size_t len = std::strlen(path);
    size_t firstSep = std::strcspn(path, ":/");
    size_t driveLen = firstSep < len && path[firstSep] == ':' ? firstSep + 1 : 0;

    char const *lastSlash = std::strrchr(path + driveLen, '/');
    size_t nameStart = lastSlash ? size_t(lastSlash - path) + 1 : driveLen;

    char const *dot = std::strrchr(path + nameStart, '.');
    size_t extStart = dot ? size_t(dot - path) : len;

    putPart(drive, MaxDrive, path, driveLen);
    putPart(dir, MaxDir, path + driveLen, nameStart - driveLen);
    putPart(fname, MaxFname, path + nameStart, extStart - nameStart);
    putPart(ext, MaxExt, path + extStart, len - extStart);
}

void _makepath(char *path, char const *drive, char const *dir, char const *fname, char const *ext)
{
    if (!path)
        return;
    size_t used = 0;
    path[0] = 0;
    for (char const *part : {drive, dir, fname, ext}) {
        if (!part)
            continue;
        size_t n = std::strlen(part);
        putPart(path + used, MaxPath - used, part, n);
        used += n < MaxPath - 1 - used ? n : MaxPath - 1 - used;
    }
}

} // namespace Zorvan
