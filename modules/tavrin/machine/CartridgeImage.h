// Reading a cartridge image: plain, gzip, or the first member of a zip
// archive whose name contains ".gba". The bytes are read whole and judged
// before the machine allocates anything, so an image that cannot run costs
// nothing; an accepted one then lands in a tracked block, rounded up to
// 16 KB with a zero tail. Nothing half-read is ever returned.
#pragma once

#include <cstdint>
#include <vector>

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

// Reads the image's bytes ("Loading %s..."); on failure prints why and
// returns false. Allocates no tracked block.
bool ReadCartridgeBytes(const char *path, std::vector<uint8_t> &bytes);

// Moves accepted bytes into a tracked block ("Allocating %dkB..."); false
// when the block cannot be had.
bool PlaceCartridgeImage(const std::vector<uint8_t> &bytes, CartridgeImage &image);

} // namespace Tavrin
