#include "modules/tavrin/machine/CartridgeImage.h"

#include "common/zorvan/Console.h"
#include "engine/ZipArchive.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/machine/TrackedAlloc.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace Tavrin {

namespace {

void Say(const char *text)
{
    if (LogFlags)
        printConsole("%s", text);
}

uint32_t RoundToPages(uint64_t size) { return uint32_t((size + PageSize - 1) & ~uint64_t(PageSize - 1)); }

// A tracked block for an image of size bytes, zero beyond it; null when the
// size is 0 or over the limit.
uint8_t *ImageBlock(uint64_t size)
{
    if (size == 0 || size > MaxImageSize)
        return nullptr;
    return static_cast<uint8_t *>(TrackedAlloc(RoundToPages(size)));
}

// Bytes of the decompressed stream, read in 16 KB pieces up to one byte past
// the limit (so a compressed bomb stops early); -1 on a read error.
int64_t StreamSize(gzFile in)
{
    int64_t total = 0;
    while (total <= int64_t(MaxImageSize)) {
        int n = gzread(in, DummyPage, PageSize);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

bool ReadStream(const char *path, CartridgeImage &image)
{
    if (LogFlags)
        printConsole("Loading %s...", path);
    gzFile in = gzopen(path, "rb");
    if (!in) {
        Say("FAILED\n");
        return false;
    }
    bool ok = false;
    int64_t size = StreamSize(in);
    if (size >= 0 && gzrewind(in) == 0) {
        if (LogFlags)
            printConsole("Allocating %dkB...", int(size / 1024));
        if (uint8_t *block = ImageBlock(uint64_t(size))) {
            // Read in pieces: gzread takes an unsigned count, but the image
            // must come whole and exactly.
            uint64_t got = 0;
            while (got < uint64_t(size)) {
                int n = gzread(in, block + got, unsigned(std::min<uint64_t>(uint64_t(size) - got, 1u << 20)));
                if (n <= 0)
                    break;
                got += uint64_t(n);
            }
            if (got == uint64_t(size)) {
                image = {block, got, RoundToPages(got)};
                ok = true;
            }
        }
    }
    gzclose(in);
    Say(ok ? "OK\n" : "FAILED\n");
    return ok;
}

std::string Lower(std::string text)
{
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ReadZip(const char *path, CartridgeImage &image)
{
    if (LogFlags)
        printConsole("Loading %s...", path);
    std::vector<Zorvan::String> names = ZorvanEngine::ZipMemberNames(path);
    if (names.empty()) {
        Say("FAILED TO OPEN\n");
        return false;
    }
    const Zorvan::String *member = nullptr;
    for (const Zorvan::String &name : names) {
        std::string narrow(static_cast<const char *>(name));
        if (Lower(narrow.substr(0, 256)).find(".gba") != std::string::npos) {
            member = &name;
            break;
        }
    }
    if (!member) {
        Say("FAILED\n");
        return false;
    }
    std::vector<uint8_t> bytes;
    ZorvanEngine::ZipReadStatus status = ZorvanEngine::ReadZipMember(path, *member, MaxImageSize + 1, bytes);
    if (status == ZorvanEngine::ZipReadStatus::OpenFailed || status == ZorvanEngine::ZipReadStatus::Encrypted ||
        status == ZorvanEngine::ZipReadStatus::NoMember) {
        Say("FAILED TO OPEN FIRST FILE\n");
        return false;
    }
    if (LogFlags)
        printConsole("Allocating %dkB...", int(bytes.size() / 1024));
    uint8_t *block = status == ZorvanEngine::ZipReadStatus::Ok ? ImageBlock(bytes.size()) : nullptr;
    if (!block) {
        Say("FAILED to allocate memory.\n");
        return false;
    }
    std::memcpy(block, bytes.data(), bytes.size());
    image = {block, bytes.size(), RoundToPages(bytes.size())};
    Say("OK\n");
    return true;
}

} // namespace

bool ReadCartridgeImage(const char *path, CartridgeImage &image)
{
    image = {};
    return ZorvanEngine::IsZipArchive(path) ? ReadZip(path, image) : ReadStream(path, image);
}

} // namespace Tavrin
