#include "engine/ZipArchive.h"

#include "common/zorvan/SafeFile.h"

#include <minizip/unzip.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ZorvanEngine {

bool IsZipArchive(Zorvan::String const &path)
{
    Zorvan::String lower = path;
    lower.MakeLower();
    if (lower.GetLength() >= 4 && lower.Right(4) == L".zip")
        return true;
    std::vector<uint8_t> signature;
    Zorvan::ReadResult const read = Zorvan::ReadFileBounded(static_cast<char const *>(path), 4, signature);
    return (read == Zorvan::ReadResult::Ok || read == Zorvan::ReadResult::TooLarge) && signature.size() == 4 &&
           signature[0] == 'P' && signature[1] == 'K' && signature[2] == 3 && signature[3] == 4;
}

namespace {

// The archive reader opens its file for a blocking read: only a regular
// file (after links) is handed to it, so a named pipe cannot hold it.
unzFile OpenArchive(Zorvan::String const &path)
{
    struct stat st;
    if (stat(static_cast<char const *>(path), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    return unzOpen(static_cast<char const *>(path));
}

// The current member's name at its full stored length, or false. A name
// that is empty or holds a zero byte comes back empty: it cannot be passed
// on as text without turning into another member's name, so such a member
// is never listed nor opened.
bool CurrentMemberName(unzFile zip, unz_file_info &info, Zorvan::String &name)
{
    if (unzGetCurrentFileInfo(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    std::vector<char> bytes(info.size_filename + 1, '\0');
    if (unzGetCurrentFileInfo(zip, &info, bytes.data(), static_cast<uLong>(bytes.size()), nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return false;
    bool const usable = std::memchr(bytes.data(), 0, info.size_filename) == nullptr;
    name = usable ? Zorvan::String(bytes.data(), static_cast<int>(info.size_filename)) : Zorvan::String();
    return true;
}

} // namespace

std::vector<Zorvan::String> ZipMemberNames(Zorvan::String const &path)
{
    std::vector<Zorvan::String> names;
    unzFile zip = OpenArchive(path);
    if (!zip)
        return names;
    for (int status = unzGoToFirstFile(zip); status == UNZ_OK; status = unzGoToNextFile(zip)) {
        unz_file_info info{};
        Zorvan::String name;
        if (!CurrentMemberName(zip, info, name))
            break;
        if (!name.IsEmpty())
            names.push_back(name);
    }
    unzClose(zip);
    return names;
}

ZipReadStatus ReadZipMember(Zorvan::String const &path, Zorvan::String const &name, size_t limit,
                            std::vector<uint8_t> &out)
{
    Zorvan::VectorSink sink(out);
    return ReadZipMember(path, name, limit, sink);
}

ZipReadStatus ReadZipMember(Zorvan::String const &path, Zorvan::String const &name, size_t limit,
                            Zorvan::ByteSink &out)
{
    out.Truncate(0);
    unzFile zip = OpenArchive(path);
    if (!zip)
        return ZipReadStatus::OpenFailed;
    ZipReadStatus status = ZipReadStatus::NoMember;
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
        unz_file_info info{};
        Zorvan::String member;
        if (!CurrentMemberName(zip, info, member)) {
            status = ZipReadStatus::ReadFailed;
            break;
        }
        if (member.IsEmpty() || !(member == name))
            continue;
        if (info.flag & 1) {
            status = ZipReadStatus::Encrypted;
            break;
        }
        // A member that says it is too large is not inflated at all.
        if (info.uncompressed_size > limit) {
            status = ZipReadStatus::TooLarge;
            break;
        }
        if (unzOpenCurrentFile(zip) != UNZ_OK) {
            status = ZipReadStatus::ReadFailed;
            break;
        }
        status = ZipReadStatus::Ok;
        // The stated size only sizes the first room; the data decides.
        size_t const stated = info.uncompressed_size;
        out.Expect(stated < limit ? stated + 1 : limit + 1);
        size_t constexpr Chunk = 65536;
        for (;;) {
            size_t const size = out.Size();
            size_t const expected = stated + 1 > size ? stated + 1 - size : 0;
            size_t got = 0;
            uint8_t *room = out.Room(std::min(limit + 1 - size, std::max(expected, Chunk)), got);
            if (!room) {
                status = ZipReadStatus::ReadFailed;
                break;
            }
            int const n = unzReadCurrentFile(zip, room, unsigned(std::min<size_t>(got, 1u << 30)));
            out.Filled(n > 0 ? size_t(n) : 0);
            if (n < 0) {
                status = ZipReadStatus::ReadFailed;
                break;
            }
            if (n == 0)
                break;
            if (out.Size() > limit) {
                out.Truncate(limit);
                status = ZipReadStatus::TooLarge;
                break;
            }
        }
        int const closed = unzCloseCurrentFile(zip);
        if (status == ZipReadStatus::Ok && closed == UNZ_CRCERROR)
            status = ZipReadStatus::CrcError;
        else if (status == ZipReadStatus::Ok && closed != UNZ_OK)
            status = ZipReadStatus::ReadFailed;
        break;
    }
    unzClose(zip);
    if (status != ZipReadStatus::Ok && status != ZipReadStatus::TooLarge)
        out.Truncate(0);
    return status;
}

} // namespace ZorvanEngine
