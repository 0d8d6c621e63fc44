#include "common/zorvan/FileStatus.h"

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Zorvan {

int stat(char const *path, FileStatus *out)
{
    if (!path || !out)
        return -1;
    // Opened rather than merely looked up: a file we cannot read has no
    // status for the callers. Non-blocking so a named pipe cannot hang us.
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct ::stat st;
    int rc = ::fstat(fd, &st);
    ::close(fd);
    // A folder opens for reading here, but it is not a file to report on.
    if (rc != 0 || S_ISDIR(st.st_mode))
        return -1;
    std::tm utc{};
    time_t written = st.st_mtime;
    ::gmtime_r(&written, &utc);
    out->size = uint32_t(st.st_size);
    out->writeTime = uint32_t(utc.tm_mday) << 24 | uint32_t(utc.tm_hour) << 16 | uint32_t(utc.tm_min) << 8 |
                     uint32_t(utc.tm_sec);
    return 0;
}

void rewind(FILE *file)
{
    if (file)
        std::fseek(file, 0, SEEK_SET);
}

} // namespace Zorvan
