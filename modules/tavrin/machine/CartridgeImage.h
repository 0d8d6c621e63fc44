// Reading a cartridge image: plain, gzip, or the first member of a zip
// archive whose name contains ".gba". The image lands in a tracked block,
// rounded up to 16 KB with a zero tail; nothing half-read is ever returned.
#pragma once

#include <cstdint>

namespace Tavrin {

// Images larger than this fail.
inline constexpr uint64_t MaxImageSize = 0x2000000;

struct CartridgeImage {
    uint8_t *data = nullptr; // tracked block of roundedSize bytes
    uint64_t size = 0;       // bytes of the image
    uint32_t roundedSize = 0;
};

// Prints the console lines of the image step; returns false on failure.
bool ReadCartridgeImage(const char *path, CartridgeImage &image);

} // namespace Tavrin
