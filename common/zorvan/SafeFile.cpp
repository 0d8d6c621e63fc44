#include "common/zorvan/SafeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Zorvan {

namespace {

// Numbers the writes of this process, so that each gets a name of its own.
std::atomic<unsigned> writeNumber{0};

std::string TemporaryName(const std::string &path, unsigned number)
{
    return path + "." + std::to_string(long(getpid())) + "-" + std::to_string(number) + ".tmp";
}

// The process id in a name of the form "<anything>.<pid>-<n>.tmp", or 0.
long WriterOf(const std::string &name)
{
    const std::string end = ".tmp";
    if (name.size() <= end.size() || name.compare(name.size() - end.size(), end.size(), end) != 0)
        return 0;
    size_t at = name.size() - end.size();
    size_t digits = 0;
    while (at > 0 && name[at - 1] >= '0' && name[at - 1] <= '9')
        --at, ++digits;
    if (digits == 0 || at < 2 || name[at - 1] != '-')
        return 0;
    size_t pidEnd = --at;
    digits = 0;
    while (at > 0 && name[at - 1] >= '0' && name[at - 1] <= '9')
        --at, ++digits;
    if (digits == 0 || digits > 9 || at < 2 || name[at - 1] != '.')
        return 0;
    return std::strtol(name.substr(at, pidEnd - at).c_str(), nullptr, 10);
}

void SyncFolderOf(const std::string &path)
{
    int dir = open(FolderOfPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

} // namespace

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

std::string NextTemporaryNameOf(const std::string &path, unsigned ahead)
{
    return TemporaryName(path, writeNumber.load() + ahead);
}

size_t RemoveLeftTemporaries(const std::string &folder)
{
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    const long self = long(getpid());
    size_t removed = 0;
    while (const dirent *entry = readdir(dir)) {
        const long pid = WriterOf(entry->d_name);
        if (pid <= 0)
            continue;
        // A program still running may be between its write and its rename.
        if (pid != self && !(kill(pid_t(pid), 0) != 0 && errno == ESRCH))
            continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat st;
        if (lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && unlink(path.c_str()) == 0)
            ++removed;
    }
    closedir(dir);
    return removed;
}

bool WriteFileReplacing(const std::string &path, const uint8_t *data, size_t size, unsigned mode)
{
    // A name no other write uses: a file or link standing there (not ours)
    // makes this write fail rather than be written through or removed.
    const std::string temp = TemporaryName(path, writeNumber++);
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    bool ok = WriteAllToFd(fd, data, size) && fsync(fd) == 0;
    int cause = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        cause = errno;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        cause = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        errno = cause;
        return false;
    }
    // Make the rename itself durable.
    SyncFolderOf(path);
    return true;
}

ReadResult ReadFileBounded(const std::string &path, size_t limit, std::vector<uint8_t> &out)
{
    VectorSink sink(out);
    return ReadFileBounded(path, limit, sink);
}

ReadResult ReadFileBounded(const std::string &path, size_t limit, ByteSink &out)
{
    out.Truncate(0);
    // Non-blocking, so that a named pipe cannot hold the program until
    // something writes to it; a regular file reads the same either way.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        switch (errno) {
        case ENOENT: return ReadResult::Missing;
        case EACCES:
        case EPERM: return ReadResult::Denied;
        case ENXIO: return ReadResult::NotAFile; // a socket, or a device with nothing behind it
        default: return ReadResult::Failed;
        }
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ReadResult::NotAFile;
    }
    // The size on disk is only a hint for the room asked for first; what
    // counts is what the reads return, up to one byte past the limit.
    const size_t hint = st.st_size > 0 ? size_t(st.st_size) : 0;
    out.Expect(hint < limit ? hint + 1 : limit + 1);
    constexpr size_t Chunk = 65536;
    for (;;) {
        const size_t size = out.Size();
        const size_t room = limit + 1 - size;
        const size_t expected = hint + 1 > size ? hint + 1 - size : 0;
        size_t got = 0;
        uint8_t *at = out.Room(std::min(room, std::max(expected, Chunk)), got);
        if (!at) {
            close(fd);
            out.Truncate(0);
            return ReadResult::Failed;
        }
        ssize_t n = read(fd, at, got);
        if (n < 0) {
            out.Filled(0);
            if (errno == EINTR)
                continue;
            const int cause = errno;
            close(fd);
            out.Truncate(0);
            errno = cause;
            return ReadResult::Failed;
        }
        out.Filled(size_t(n));
        if (n == 0)
            break;
        if (out.Size() > limit) {
            out.Truncate(limit);
            close(fd);
            return ReadResult::TooLarge;
        }
    }
    close(fd);
    return ReadResult::Ok;
}

bool KeepBackup(const std::string &path, const std::string &backup)
{
    // A second name made under a fresh temporary name and renamed over the
    // old backup: at every moment the backup name holds one whole file.
    // The number is the next write's: the names differ by their stem.
    const std::string temp = TemporaryName(backup, writeNumber.load());
    if (link(path.c_str(), temp.c_str()) == 0) {
        if (std::rename(temp.c_str(), backup.c_str()) == 0) {
            SyncFolderOf(backup);
            return true;
        }
        unlink(temp.c_str());
        return false;
    }
    // No hard links here (or across folders): a copy.
    std::vector<uint8_t> bytes;
    return ReadFileBounded(path, size_t(1) << 30, bytes) == ReadResult::Ok && WriteFileReplacing(backup, bytes);
}

std::string LinkAsDamaged(const std::string &path)
{
    struct stat st;
    for (int n = 0; n < 1000; ++n) {
        std::string name = path + ".damaged";
        if (n > 0) // appended: GCC 12 warns falsely of an overlap in "." + string
            name.append(".").append(std::to_string(n));
        if (lstat(name.c_str(), &st) == 0)
            continue;
        // link never replaces a name that appeared since the check.
        if (link(path.c_str(), name.c_str()) == 0) {
            SyncFolderOf(name);
            return name;
        }
        if (errno == EEXIST)
            continue;
        // No hard links here: a copy, made exclusive the same way.
        std::vector<uint8_t> bytes;
        if (ReadFileBounded(path, size_t(1) << 30, bytes) != ReadResult::Ok)
            return std::string();
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return std::string();
        }
        const bool ok = WriteAllToFd(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
        if (close(fd) != 0 || !ok) {
            unlink(name.c_str());
            return std::string();
        }
        return name;
    }
    return std::string();
}

} // namespace Zorvan
