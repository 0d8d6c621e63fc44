// Reading a cartridge image: plain, gzip, or the first member of a zip
// archive whose name contains ".gba". The bytes are read whole and judged
// before the machine allocates anything, so an image that cannot run costs
// nothing but the block the bytes were read into; an accepted one becomes
// the tracked cartridge block, rounded up to 16 KB with a zero tail.
// Nothing half-read is ever returned.
#pragma once

#include "common/zorvan/ByteSink.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace Tavrin {

// Images larger than this are refused.
inline constexpr uint64_t MaxImageSize = 0x2000000;
// The cartridge header fills the first 192 bytes: an image no longer than
// that holds no program.
inline constexpr uint64_t CartHeaderSize = 0xC0;

struct CartridgeImage {
    uint8_t *data = nullptr; // tracked block of roundedSize bytes
    uint64_t size = 0;       // bytes of the image
    uint32_t roundedSize = 0;
};

// The bytes of an image as they are read: a zero-filled page block that the
// readers fill in place (a file straight from the disk, gzip and zip data
// straight from the inflater) and that the cartridge then keeps, so the
// image is written into memory once. Its room is sized by the readers'
// hints in whole pages; a hint that falls short moves it once to a larger
// block. Freed unless placed.
class CartridgeBytes final : public Zorvan::ByteSink {
public:
    CartridgeBytes() = default;
    CartridgeBytes(const CartridgeBytes &) = delete;
    CartridgeBytes &operator=(const CartridgeBytes &) = delete;
    CartridgeBytes(CartridgeBytes &&other) noexcept { *this = std::move(other); }
    CartridgeBytes &operator=(CartridgeBytes &&other) noexcept;
    ~CartridgeBytes() { Free(); }

    const uint8_t *data() const { return block; }
    size_t size() const { return used; }
    // The block and its size in bytes, which the caller now owns; the bytes
    // past size() are zero.
    uint8_t *Release(size_t &blockSize);
    void Free();

    void Expect(size_t total) override;
    uint8_t *Room(size_t want, size_t &got) override;
    void Filled(size_t n) override { used += n; }
    size_t Size() const override { return used; }
    void Truncate(size_t size) override;

private:
    bool Reserve(size_t total);

    uint8_t *block = nullptr;
    size_t capacity = 0, used = 0;
};

// Reads the image's bytes ("Loading %s..."); on failure prints why and
// returns false. Allocates no tracked block.
bool ReadCartridgeBytes(const char *path, CartridgeBytes &bytes);

// Gives the accepted bytes' block to the machine as a tracked block
// ("Allocating %dkB..."), without copying them; false when the table of
// tracked blocks is full.
bool PlaceCartridgeImage(CartridgeBytes &bytes, CartridgeImage &image);

} // namespace Tavrin
