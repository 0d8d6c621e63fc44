// Memory that a reader fills in place, chunk by chunk: the bounded file,
// gzip and zip readers ask their sink for room past the bytes it holds and
// tell it how much of that room they filled, so the bytes are written once,
// into memory the caller chose (a vector, or a block that a machine keeps).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Zorvan {

class ByteSink {
public:
    // The reader's guess at the whole size, before it starts: a hint the
    // sink may reserve for, never a promise.
    virtual void Expect(size_t total) = 0;
    // Room for up to want (>= 1) more bytes: at least one, got says how
    // many; null when no more can be had.
    virtual uint8_t *Room(size_t want, size_t &got) = 0;
    // n bytes of the room last given now hold data.
    virtual void Filled(size_t n) = 0;
    virtual size_t Size() const = 0;
    // Keeps only the first size bytes (size <= Size()).
    virtual void Truncate(size_t size) = 0;

protected:
    ~ByteSink() = default;
};

// A vector as the sink: its size is the bytes filled.
class VectorSink final : public ByteSink {
public:
    explicit VectorSink(std::vector<uint8_t> &bytes) : bytes_(bytes) { bytes_.clear(); }

    void Expect(size_t total) override { bytes_.reserve(total); }
    uint8_t *Room(size_t want, size_t &got) override
    {
        used_ = bytes_.size();
        bytes_.resize(used_ + want);
        got = want;
        return bytes_.data() + used_;
    }
    void Filled(size_t n) override { bytes_.resize(used_ + n); }
    size_t Size() const override { return bytes_.size(); }
    void Truncate(size_t size) override { bytes_.resize(size); }

private:
    std::vector<uint8_t> &bytes_;
    size_t used_ = 0;
};

} // namespace Zorvan
