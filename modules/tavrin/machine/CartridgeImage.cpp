#include "modules/tavrin/machine/CartridgeImage.h"

#include "common/zorvan/Console.h"
#include "common/zorvan/LargeAlloc.h"
#include "common/zorvan/Refusal.h"
#include "common/zorvan/SafeFile.h"
#include "engine/ZipArchive.h"
#include "modules/common/ImageCheck.h"
#include "modules/tavrin/bus/MemoryBus.h"
#include "modules/tavrin/files/GzipImage.h"
#include "modules/tavrin/machine/TrackedAlloc.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace Tavrin {

namespace {

void Say(const char *text)
{
    if (LogFlags)
        printConsole("%s", text);
}

// Why an image was refused: always shown, whatever the log flags, since the
// user's next step depends on it.
void Refuse(const char *reason)
{
    Say("FAILED\n");
    printConsole("%s\n", reason);
    Zorvan::noteRefusal(reason);
}

uint32_t RoundToPages(uint64_t size) { return uint32_t((size + PageSize - 1) & ~uint64_t(PageSize - 1)); }

// The size rules every route shares.
bool SizeAccepted(size_t size)
{
    if (size > MaxImageSize) {
        Refuse("The image is larger than 32 MB");
        return false;
    }
    if (size <= CartHeaderSize) {
        Refuse("The image is too small to hold a game");
        return false;
    }
    return true;
}

// A plain or gzip file, read whole and inflated in memory, never past the
// size limit (so a compressed bomb stops early). A plain file is read
// straight into the block that stays its image.
bool ReadStream(const char *path, CartridgeBytes &bytes)
{
    CartridgeBytes raw;
    switch (Zorvan::ReadFileBounded(path, GzipSizeBound(MaxImageSize), raw)) {
    case Zorvan::ReadResult::Ok: break;
    case Zorvan::ReadResult::TooLarge: return SizeAccepted(MaxImageSize + 1);
    case Zorvan::ReadResult::Missing: Refuse("The file does not exist"); return false;
    case Zorvan::ReadResult::NotAFile: Refuse("The path names no file (a pipe, a device or a folder)"); return false;
    default: Refuse("The file cannot be read"); return false;
    }
    if (!IsGzip(raw.data(), raw.size())) {
        bytes = std::move(raw);
        return SizeAccepted(bytes.size());
    }
    switch (GunzipBounded(raw.data(), raw.size(), MaxImageSize, bytes)) {
    case GunzipResult::Ok: return SizeAccepted(bytes.size());
    case GunzipResult::TooLarge: return SizeAccepted(MaxImageSize + 1);
    default: Refuse("The gzip data is damaged"); return false;
    }
}

std::string Lower(std::string text)
{
    for (char &c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ReadZip(const char *path, CartridgeBytes &bytes)
{
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
    switch (ZorvanEngine::ReadZipMember(path, *member, MaxImageSize + 1, bytes)) {
    case ZorvanEngine::ZipReadStatus::Ok: return SizeAccepted(bytes.size());
    case ZorvanEngine::ZipReadStatus::TooLarge: return SizeAccepted(MaxImageSize + 1);
    case ZorvanEngine::ZipReadStatus::OpenFailed:
    case ZorvanEngine::ZipReadStatus::Encrypted:
    case ZorvanEngine::ZipReadStatus::NoMember: Say("FAILED TO OPEN FIRST FILE\n"); return false;
    default: Refuse("The zip archive is damaged"); return false;
    }
}

// The refusals every console makes of what was read, before any of it
// becomes a cartridge.
bool AcceptedAsImage(const CartridgeBytes &bytes)
{
    if (const char *why = ConsoleFiles::WhyNotAnImage({bytes.data(), bytes.size()}, 0)) {
        Refuse(why);
        return false;
    }
    return true;
}

} // namespace

CartridgeBytes &CartridgeBytes::operator=(CartridgeBytes &&other) noexcept
{
    if (this != &other) {
        Free();
        block = std::exchange(other.block, nullptr);
        capacity = std::exchange(other.capacity, 0);
        used = std::exchange(other.used, 0);
    }
    return *this;
}

void CartridgeBytes::Free()
{
    if (block)
        Zorvan::WCEFree(block);
    block = nullptr;
    capacity = used = 0;
}

uint8_t *CartridgeBytes::Release(size_t &blockSize)
{
    blockSize = capacity;
    capacity = used = 0;
    return std::exchange(block, nullptr);
}

bool CartridgeBytes::Reserve(size_t total)
{
    const size_t wanted = RoundToPages(total > 0 ? total : 1);
    if (wanted <= capacity)
        return true;
    auto *larger = static_cast<uint8_t *>(Zorvan::WCEAlloc(wanted));
    if (!larger)
        return false;
    if (used)
        std::memcpy(larger, block, used);
    if (block)
        Zorvan::WCEFree(block);
    block = larger;
    capacity = wanted;
    return true;
}

void CartridgeBytes::Expect(size_t total) { Reserve(std::min<size_t>(total, GzipSizeBound(MaxImageSize) + 1)); }

uint8_t *CartridgeBytes::Room(size_t want, size_t &got)
{
    if (capacity == used && !Reserve(std::max(2 * capacity, used + want)))
        return nullptr;
    got = std::min(want, capacity - used);
    return block + used;
}

void CartridgeBytes::Truncate(size_t size)
{
    // The bytes past the image stay zero, as the cartridge's tail must be.
    if (size < used)
        std::memset(block + size, 0, used - size);
    used = std::min(used, size);
}

bool ReadCartridgeBytes(const char *path, CartridgeBytes &bytes)
{
    bytes.Free();
    if (LogFlags)
        printConsole("Loading %s...", path);
    const bool ok = (ZorvanEngine::IsZipArchive(path) ? ReadZip(path, bytes) : ReadStream(path, bytes)) &&
                    AcceptedAsImage(bytes);
    if (!ok)
        bytes.Free();
    return ok;
}

bool PlaceCartridgeImage(CartridgeBytes &bytes, CartridgeImage &image)
{
    image = {};
    if (LogFlags)
        printConsole("Allocating %dkB...", int(bytes.size() / 1024));
    const size_t size = bytes.size();
    size_t blockSize = 0;
    uint8_t *block = bytes.Release(blockSize);
    if (!block || !TrackedAdopt(block)) {
        if (block)
            Zorvan::WCEFree(block);
        Say("FAILED to allocate memory.\n");
        return false;
    }
    image = {block, size, RoundToPages(size)};
    Say("OK\n");
    return true;
}

} // namespace Tavrin
