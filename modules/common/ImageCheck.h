// What every console refuses before it treats a file as a cartridge image:
// text (a web page or an error message saved under a game's name) and a
// file too small to be any game of the console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ConsoleFiles {

// The reason the bytes cannot be a cartridge image, or null when they may be
// one. A file is text when every byte of its first 4 KB (of all of it, when
// shorter) is printable ASCII, a tab, a carriage return or a line feed.
const char *WhyNotAnImage(std::span<const uint8_t> image, size_t smallest);

// The reason given for an image (or a zip member) larger than the console's
// largest.
inline constexpr const char *ImageTooLarge = "The file is larger than any game image of this console";

} // namespace ConsoleFiles
