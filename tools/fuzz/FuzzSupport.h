// Small helpers shared by the fuzz targets: fields taken from the input one
// at a time, a property check that stops the run like a sanitizer would, and
// a private folder for readers that only take a path.
#pragma once

#include "common/zorvan/ByteStream.h"
#include "common/zorvan/SafeFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

namespace Fuzz {

// The input as a stream of fields; past its end every field reads 0.
class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t u16() { uint16_t lo = u8(); return uint16_t(lo | (u8() << 8)); }
    uint32_t u32() { uint32_t lo = u16(); return lo | (uint32_t(u16()) << 16); }
    // Up to n bytes, fewer at the end of the input.
    std::string bytes(size_t n)
    {
        n = n < size_ - pos_ ? n : size_ - pos_;
        std::string out(reinterpret_cast<const char *>(data_ + pos_), n);
        pos_ += n;
        return out;
    }
    bool empty() const { return pos_ >= size_; }
    const uint8_t *rest() const { return data_ + pos_; }
    size_t left() const { return size_ - pos_; }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

// A broken property is a finding: report it and abort so libFuzzer keeps
// the input.
#define FUZZ_CHECK(cond)                                                                         \
    do {                                                                                         \
        if (!(cond)) {                                                                           \
            std::fprintf(stderr, "property broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__);    \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)

// A folder of this process's own, in memory where the system has such a
// folder (saves flush to disk, which would set the pace otherwise), else
// under the temporary folder; removed at exit.
inline const std::filesystem::path &PrivateFolder()
{
    // Never destroyed: the clean-up at exit still needs it.
    static const std::filesystem::path *folder = [] {
        std::error_code error;
        const std::filesystem::path root = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        auto *base = new std::filesystem::path(root / ("quintar-fuzz-" + std::to_string(getpid())));
        std::filesystem::create_directories(*base);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(PrivateFolder(), ignored);
        });
        return base;
    }();
    return *folder;
}

// Writes the bytes to a file of that name in the private folder.
inline std::filesystem::path WriteInputFile(const std::string &name, const uint8_t *data, size_t size)
{
    std::filesystem::path path = PrivateFolder() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char *>(data), std::streamsize(size));
    return path;
}

// The whole file (empty when there is none).
inline std::vector<uint8_t> ReadWholeFile(const std::filesystem::path &path)
{
    std::vector<uint8_t> bytes;
    Zorvan::ReadFileBounded(path.string(), size_t(1) << 28, bytes);
    return bytes;
}

inline std::filesystem::path WriteInputFile(const std::string &name, const std::vector<uint8_t> &bytes)
{
    return WriteInputFile(name, bytes.data(), bytes.size());
}

// The inputs of the targets that start a whole machine: a byte of choices,
// the cartridge image with its length in front, then the file under test.
struct MachineInput {
    uint8_t choice = 0;
    std::vector<uint8_t> image, file;
};

inline MachineInput SplitMachineInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    MachineInput m;
    m.choice = in.u8();
    const std::string image = in.bytes(in.u32());
    m.image.assign(image.begin(), image.end());
    m.file.assign(in.rest(), in.rest() + in.left());
    return m;
}

inline std::vector<uint8_t> JoinMachineInput(uint8_t choice, const std::vector<uint8_t> &image,
                                             const std::vector<uint8_t> &file)
{
    Zorvan::ByteWriter out;
    out.u8(choice);
    out.u32(uint32_t(image.size()));
    out.raw(image.data(), image.size());
    out.raw(file.data(), file.size());
    return std::move(out.bytes());
}

// The image a writer of the form write(record, ByteWriter &) makes.
template <typename Record, typename Write>
std::vector<uint8_t> ImageOf(const Record &record, Write write)
{
    Zorvan::ByteWriter out;
    write(record, out);
    return std::move(out.bytes());
}

// Reads a state image from the input with read(record, ByteReader &) and
// checks the two properties of every image reader: a refused image leaves
// the record as it was; an accepted one writes back the input's bytes,
// except where keptLive(offset) says the reader keeps the record's own
// value (padding, reserved fields). Returns whether it was accepted.
template <typename Record, typename Read, typename Write>
bool ReadImageChecked(Record &record, const uint8_t *data, size_t size, size_t imageSize, Read read,
                      Write write, bool (*keptLive)(size_t) = nullptr)
{
    const std::vector<uint8_t> before = ImageOf(record, write);
    Zorvan::ByteReader in(data, size);
    if (!read(record, in)) {
        FUZZ_CHECK(ImageOf(record, write) == before);
        return false;
    }
    FUZZ_CHECK(size >= imageSize);
    const std::vector<uint8_t> after = ImageOf(record, write);
    FUZZ_CHECK(after.size() == imageSize);
    for (size_t i = 0; i < imageSize; ++i)
        FUZZ_CHECK(keptLive && keptLive(i) ? after[i] == before[i] : after[i] == data[i]);
    return true;
}

} // namespace Fuzz
