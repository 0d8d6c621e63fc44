// Whole-file reads and writes for saves that must never be lost.
//
// WriteFileReplacing writes "<path>.tmp" in the same folder, flushes it to
// disk, renames it over path and makes the rename durable; on any failure
// the old file stays byte for byte and no temporary file is left behind.
// A writer killed part way leaves its temporary file: the next write of
// that path replaces it, and RemoveLeftTemporary clears it at start-up.
// ReadFileBounded reads a whole file but never more than limit bytes, so a
// size taken from a hostile or huge file is never trusted. KeepAsDamaged
// moves a file that could not be used aside, never over an older one.
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

// The temporary file WriteFileReplacing writes before its rename.
std::string TemporaryNameOf(const std::string &path);
// Removes the temporary file a killed write of path left behind (a folder
// of that name is not ours and stays). True when one was removed.
bool RemoveLeftTemporary(const std::string &path);

enum class ReadResult { Ok, Missing, NotAFile, TooLarge, Failed };

// Reads up to limit bytes; a file longer than limit gives TooLarge with the
// first limit bytes in out. Only regular files are read.
ReadResult ReadFileBounded(const std::string &path, size_t limit, std::vector<uint8_t> &out);
// The same into a sink, whose bytes are then as out's would be.
ReadResult ReadFileBounded(const std::string &path, size_t limit, ByteSink &out);

// Renames path to "<path>.damaged", or "<path>.damaged.1", ".2" ... when
// those exist. Returns the new name, or an empty string when nothing moved.
std::string KeepAsDamaged(const std::string &path);

// Before a save is written over a file found unusable earlier: keeps that
// file aside (keptAs says where; empty when nothing was there any more).
// False when it is still at path, which must then not be written over.
bool KeepAsDamagedBeforeReplacing(const std::string &path, std::string &keptAs);

} // namespace Zorvan
