// Little-endian field-by-field images of emulator state.
//
// State and battery files are written one field at a time, never as raw
// structs: pointers and padding differ between the machines that write and
// read them. ByteWriter appends fields; ByteReader reads them back from a
// buffer that was read whole, and remembers whether it ever ran past the end
// so a caller can validate before applying anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace Zorvan {

class ByteWriter {
public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) { u8(uint8_t(v)); u8(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v)); u16(uint16_t(v >> 16)); }
    void u64(uint64_t v) { u32(uint32_t(v)); u32(uint32_t(v >> 32)); }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void raw(const void *data, size_t size)
    {
        const auto *p = static_cast<const uint8_t *>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }

    const std::vector<uint8_t> &bytes() const { return bytes_; }
    std::vector<uint8_t> &bytes() { return bytes_; }
    size_t size() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};

class ByteReader {
public:
    ByteReader(const void *data, size_t size)
        : data_(static_cast<const uint8_t *>(data)), size_(size) {}
    explicit ByteReader(const std::vector<uint8_t> &v) : ByteReader(v.data(), v.size()) {}

    uint8_t u8() { return take(1) ? data_[pos_ - 1] : 0; }
    uint16_t u16() { uint16_t lo = u8(); return uint16_t(lo | (u8() << 8)); }
    uint32_t u32() { uint32_t lo = u16(); return lo | (uint32_t(u16()) << 16); }
    uint64_t u64() { uint64_t lo = u32(); return lo | (uint64_t(u32()) << 32); }
    int32_t i32() { return int32_t(u32()); }
    // Copies size bytes out; on a short buffer copies nothing and fails.
    bool raw(void *out, size_t size)
    {
        if (!take(size))
            return false;
        std::memcpy(out, data_ + pos_ - size, size);
        return true;
    }
    bool skip(size_t size) { return take(size); }

    bool ok() const { return ok_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }

private:
    bool take(size_t n)
    {
        if (!ok_ || n > size_ - pos_) {
            ok_ = false;
            return false;
        }
        pos_ += n;
        return true;
    }

    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace Zorvan
