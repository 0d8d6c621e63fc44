// Zip detection, member names and member reading: every listed name is
// non-empty, holds no zero byte and opens a member (within a small limit).
#include "engine/ZipArchive.h"
#include "tools/fuzz/FuzzSupport.h"

#include <cwchar>

using namespace ZorvanEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Detection by signature: the name does not end in ".zip".
    const std::filesystem::path file = Fuzz::WriteInputFile("archive.bin", data, size);
    const Zorvan::String path(file.c_str());
    const bool zip = IsZipArchive(path);
    FUZZ_CHECK(zip == (size >= 4 && data[0] == 'P' && data[1] == 'K' && data[2] == 3 && data[3] == 4));

    const std::vector<Zorvan::String> names = ZipMemberNames(path);
    int opened = 0;
    for (const Zorvan::String &name : names) {
        FUZZ_CHECK(!name.IsEmpty());
        FUZZ_CHECK(std::wmemchr(static_cast<const wchar_t *>(name), 0, size_t(name.GetLength())) == nullptr);
        if (opened++ == 4)
            continue;
        std::vector<uint8_t> out;
        const ZipReadStatus status = ReadZipMember(path, name, 1 << 16, out);
        FUZZ_CHECK(status != ZipReadStatus::NoMember && status != ZipReadStatus::OpenFailed);
        FUZZ_CHECK(out.size() <= 1 << 16);
        FUZZ_CHECK(status == ZipReadStatus::Ok || status == ZipReadStatus::TooLarge || out.empty());
    }
    return 0;
}
