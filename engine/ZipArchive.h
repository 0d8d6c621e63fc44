// Zip archives as the engine and the console modules read them: which paths
// are archives, the names of their members, and one member read whole.
#pragma once

#include "common/zorvan/ByteSink.h"
#include "common/zorvan/String.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ZorvanEngine {

// A zip archive is named so (".zip", case-blind) or is a regular file that
// begins with a zip member header; a folder that merely has ".zip" in its
// name does not make a file an archive. Only regular files are opened.
bool IsZipArchive(Zorvan::String const &path);

// The names of every member, in archive order, read at their full stored
// length; empty when the archive cannot be read.
std::vector<Zorvan::String> ZipMemberNames(Zorvan::String const &path);

enum class ZipReadStatus {
    Ok,
    OpenFailed,   // not a readable archive
    NoMember,     // no member of that name
    Encrypted,    // the member needs a password
    TooLarge,     // more than the limit (said in the member's header, or found
                  // inflating it); out holds what was read, at most limit bytes
    CrcError,     // the data does not match its checksum
    ReadFailed    // damaged data
};

// Reads the member called name (exact match) to its real end, whatever its
// header claims, but never more than limit bytes.
ZipReadStatus ReadZipMember(Zorvan::String const &path, Zorvan::String const &name, size_t limit,
                            std::vector<uint8_t> &out);
// The same into a sink, whose bytes are then as out's would be.
ZipReadStatus ReadZipMember(Zorvan::String const &path, Zorvan::String const &name, size_t limit,
                            Zorvan::ByteSink &out);

} // namespace ZorvanEngine
