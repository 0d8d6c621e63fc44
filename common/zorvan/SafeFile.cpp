#include "common/zorvan/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Zorvan {

std::string FolderOfPath(const std::string &path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteAllToFd(int fd, const uint8_t *data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

std::string TemporaryNameOf(const std::string &path) { return path + ".tmp"; }

bool RemoveLeftTemporary(const std::string &path)
{
    const std::string temp = TemporaryNameOf(path);
    struct stat st;
    return lstat(temp.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && unlink(temp.c_str()) == 0;
}

bool WriteFileReplacing(const std::string &path, const uint8_t *data, size_t size, unsigned mode)
{
    const std::string temp = TemporaryNameOf(path);
    // What a killed writer left there goes first; the new file is made
    // afresh, so nothing standing at that name (a link) is written through.
    RemoveLeftTemporary(path);
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    bool ok = WriteAllToFd(fd, data, size) && fsync(fd) == 0;
    if (close(fd) != 0)
        ok = false;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dir = open(FolderOfPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

ReadResult ReadFileBounded(const std::string &path, size_t limit, std::vector<uint8_t> &out)
{
    out.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ReadResult::NotAFile;
    }
    // The size on disk is only a hint for the first allocation; what counts
    // is what the reads return, up to one byte past the limit.
    size_t hint = st.st_size > 0 ? size_t(st.st_size) : 0;
    out.reserve(hint < limit ? hint + 1 : limit + 1);
    uint8_t chunk[65536];
    for (;;) {
        size_t room = limit + 1 - out.size();
        ssize_t n = read(fd, chunk, room < sizeof chunk ? room : sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            close(fd);
            out.clear();
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        out.insert(out.end(), chunk, chunk + n);
        if (out.size() > limit) {
            out.resize(limit);
            close(fd);
            return ReadResult::TooLarge;
        }
    }
    close(fd);
    return ReadResult::Ok;
}

std::string KeepAsDamaged(const std::string &path)
{
    struct stat st;
    for (int n = 0; n < 1000; ++n) {
        std::string name = path + ".damaged";
        if (n > 0) // appended: GCC 12 warns falsely of an overlap in "." + string
            name.append(".").append(std::to_string(n));
        if (lstat(name.c_str(), &st) == 0)
            continue;
        // link + unlink so an older kept file is never replaced, even by a
        // name that appeared since the check.
        if (link(path.c_str(), name.c_str()) == 0) {
            unlink(path.c_str());
            return name;
        }
        if (errno == EEXIST)
            continue;
        return std::rename(path.c_str(), name.c_str()) == 0 ? name : std::string();
    }
    return std::string();
}

bool KeepAsDamagedBeforeReplacing(const std::string &path, std::string &keptAs)
{
    keptAs = KeepAsDamaged(path);
    struct stat st;
    return !keptAs.empty() || (lstat(path.c_str(), &st) != 0 && errno == ENOENT);
}

} // namespace Zorvan
