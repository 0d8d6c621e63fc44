#include "platform/keystore/KeyStoreFormat.h"

#include "common/zorvan/ByteStream.h"
#include "common/zorvan/Utf8.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace Platform {

namespace {

constexpr uint8_t Magic[4] = {'Q', 'K', 'S', 0x1A};
constexpr size_t HeaderSize = 12;
constexpr size_t TrailerSize = 4;

uint32_t Crc(const uint8_t *data, size_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        uInt chunk = size > 0x40000000u ? 0x40000000u : uInt(size);
        crc = crc32(crc, data, chunk);
        data += chunk;
        size -= chunk;
    }
    return uint32_t(crc);
}

void PutName(Zorvan::ByteWriter &out, const std::string &name)
{
    out.u32(uint32_t(name.size()));
    out.raw(name.data(), name.size());
}

void PutKey(Zorvan::ByteWriter &out, const KeyNode &key)
{
    out.u32(uint32_t(key.values.size()));
    for (const auto &[name, value] : key.values) {
        PutName(out, name);
        out.u32(uint32_t(value.type));
        out.u32(uint32_t(value.data.size()));
        out.raw(value.data.data(), value.data.size());
    }
    out.u32(uint32_t(key.subkeys.size()));
    for (const auto &[name, child] : key.subkeys) {
        PutName(out, name);
        PutKey(out, *child);
    }
}

class Decoder {
public:
    Decoder(const uint8_t *data, size_t size) : in_(data, size) {}

    bool Key(KeyNode &key, int depth)
    {
        if (depth > KeyStoreMaxDepth)
            return Fail("keys nested too deeply");
        uint32_t valueCount = in_.u32();
        // Every value takes at least 12 bytes; a larger count cannot be real.
        if (!in_.ok() || valueCount > in_.remaining() / 12)
            return Fail("value count beyond the end");
        for (uint32_t i = 0; i < valueCount; ++i) {
            std::string name;
            if (!Name(name))
                return false;
            KeyValue value;
            uint32_t type = in_.u32();
            uint32_t size = in_.u32();
            if (!in_.ok() || size > in_.remaining())
                return Fail("value size beyond the end");
            if (type != uint32_t(ValueType::String) && type != uint32_t(ValueType::Binary) &&
                type != uint32_t(ValueType::DWord))
                return Fail("unknown value type");
            if (type == uint32_t(ValueType::DWord) && size != 4)
                return Fail("DWORD value not 4 bytes");
            value.type = ValueType(type);
            value.data.resize(size);
            if (size)
                in_.raw(value.data.data(), size);
            if (!key.values.emplace(std::move(name), std::move(value)).second)
                return Fail("value name twice in one key");
        }
        uint32_t subkeyCount = in_.u32();
        // Every subkey takes at least 12 bytes (name length and two counts).
        if (!in_.ok() || subkeyCount > in_.remaining() / 12)
            return Fail("subkey count beyond the end");
        for (uint32_t i = 0; i < subkeyCount; ++i) {
            std::string name;
            if (!Name(name))
                return false;
            if (name.empty())
                return Fail("empty key name");
            auto child = std::make_unique<KeyNode>();
            if (!Key(*child, depth + 1))
                return false;
            if (!key.subkeys.emplace(std::move(name), std::move(child)).second)
                return Fail("key name twice in one key");
        }
        return in_.ok() || Fail("truncated body");
    }

    bool AtEnd() const { return in_.remaining() == 0; }
    const std::string &Error() const { return error_; }
    bool Fail(const char *why)
    {
        if (error_.empty())
            error_ = why;
        return false;
    }

private:
    bool Name(std::string &name)
    {
        uint32_t length = in_.u32();
        if (!in_.ok() || length > in_.remaining())
            return Fail("name length beyond the end");
        if (length > KeyStoreMaxNameLength)
            return Fail("name too long");
        name.resize(length);
        if (length)
            in_.raw(name.data(), length);
        if (!KeyStoreNameAllowed(name))
            return Fail("name not allowed (zero byte, separator or not UTF-8)");
        return true;
    }

    Zorvan::ByteReader in_;
    std::string error_;
};

}  // namespace

bool KeyStoreNameAllowed(std::string_view name)
{
    if (name.size() > KeyStoreMaxNameLength || name.find_first_of(std::string_view("\0/\\", 3)) != name.npos)
        return false;
    // Bytes that are not UTF-8 decode to the code units 0xDC80-0xDCFF, which
    // well-formed UTF-8 never gives.
    std::vector<wchar_t> wide(Zorvan::utf8DecodedLength(name.data(), name.size()));
    Zorvan::utf8Decode(name.data(), name.size(), wide.data());
    return std::none_of(wide.begin(), wide.end(), [](wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; });
}

std::vector<uint8_t> EncodeKeyStore(const KeyNode &root)
{
    Zorvan::ByteWriter body;
    PutKey(body, root);
    Zorvan::ByteWriter out;
    out.raw(Magic, sizeof Magic);
    out.u32(KeyStoreFormatVersion);
    out.u32(uint32_t(body.size()));
    out.raw(body.bytes().data(), body.size());
    out.u32(Crc(body.bytes().data(), body.size()));
    return std::move(out.bytes());
}

bool DecodeKeyStore(const std::vector<uint8_t> &image, KeyNode &root, std::string &error)
{
    root = KeyNode{};
    auto fail = [&](const std::string &why) {
        root = KeyNode{};
        error = why;
        return false;
    };
    if (image.size() < HeaderSize + TrailerSize)
        return fail("file too short");
    if (image.size() > KeyStoreMaxFileSize)
        return fail("file too large");
    Zorvan::ByteReader header(image.data(), HeaderSize);
    uint8_t magic[4];
    header.raw(magic, sizeof magic);
    if (std::memcmp(magic, Magic, sizeof magic) != 0)
        return fail("not a key store file");
    if (header.u32() != KeyStoreFormatVersion)
        return fail("unknown format version");
    uint32_t bodySize = header.u32();
    if (bodySize != image.size() - HeaderSize - TrailerSize)
        return fail("body length does not match the file size");
    const uint8_t *body = image.data() + HeaderSize;
    Zorvan::ByteReader trailer(body + bodySize, TrailerSize);
    if (trailer.u32() != Crc(body, bodySize))
        return fail("checksum mismatch");
    Decoder decoder(body, bodySize);
    if (!decoder.Key(root, 0))
        return fail(decoder.Error());
    if (!decoder.AtEnd())
        return fail("bytes after the root key");
    return true;
}

}  // namespace Platform
