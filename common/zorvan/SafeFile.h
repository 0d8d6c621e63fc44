// Whole-file reads and writes for saves that must never be lost.
//
// WriteFileReplacing writes a temporary file of its own in the same folder
// ("<path>.<pid>-<n>.tmp", a fresh name for every write, so two programs
// saving the same file never touch each other's), flushes it to disk,
// renames it over path and makes the rename durable; on any failure the old
// file stays byte for byte, no temporary file is left behind and errno says
// why. A writer killed part way leaves its temporary file: RemoveLeftTemporaries
// clears those of programs no longer running at start-up.
// ReadFileBounded reads a whole file but never more than limit bytes, so a
// size taken from a hostile or huge file is never trusted. KeepBackup and
// LinkAsDamaged keep a file under a second name before a write replaces it.
#pragma once

#include "common/zorvan/ByteSink.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Zorvan {

// Folder part of a path: "." for a bare name, "/" for a file in the root.
std::string FolderOfPath(const std::string &path);

// Writes data to fd in full, retrying short and interrupted writes.
bool WriteAllToFd(int fd, const uint8_t *data, size_t size);

bool WriteFileReplacing(const std::string &path, const uint8_t *data, size_t size, unsigned mode = 0644);
inline bool WriteFileReplacing(const std::string &path, const std::vector<uint8_t> &data, unsigned mode = 0644)
{
    return WriteFileReplacing(path, data.data(), data.size(), mode);
}

// The temporary file a WriteFileReplacing of path in this process will make
// when it is the next write (ahead 0) or comes that many writes later
// (tests put something in its way to make that write fail).
std::string NextTemporaryNameOf(const std::string &path, unsigned ahead = 0);
// Removes from folder the temporary files that writes of programs no longer
// running (or of an earlier program of this process's id) left behind; a
// running program's, a folder, and any other name stay. Returns how many.
size_t RemoveLeftTemporaries(const std::string &folder);

enum class ReadResult { Ok, Missing, NotAFile, TooLarge, Denied, Failed };

// Reads up to limit bytes; a file longer than limit gives TooLarge with the
// first limit bytes in out. Only regular files are read: a named pipe, a
// device or a socket gives NotAFile at once, without waiting for a writer.
// Denied: no permission to read it. Failed leaves the cause in errno.
ReadResult ReadFileBounded(const std::string &path, size_t limit, std::vector<uint8_t> &out);
// The same into a sink, whose bytes are then as out's would be.
ReadResult ReadFileBounded(const std::string &path, size_t limit, ByteSink &out);

// Keeps the file at path also as backup (replacing an older backup whole, in
// one rename): a second name for the same file where the file system allows
// it, else a copy written as WriteFileReplacing does. False when no backup
// could be made; path itself is never changed.
bool KeepBackup(const std::string &path, const std::string &backup);

// Gives the file at path a second name "<path>.damaged" (or ".damaged.1",
// ".2" ... when those exist, never replacing one), leaving it where it is:
// the write that replaces it may still fail. Returns the new name, or an
// empty string when none could be made.
std::string LinkAsDamaged(const std::string &path);

} // namespace Zorvan
