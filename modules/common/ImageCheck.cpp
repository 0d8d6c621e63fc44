#include "modules/common/ImageCheck.h"

#include <algorithm>

namespace ConsoleFiles {

const char *WhyNotAnImage(std::span<const uint8_t> image, size_t smallest)
{
    const size_t probe = std::min<size_t>(image.size(), 4096);
    const bool text = probe > 0 && std::all_of(image.begin(), image.begin() + std::ptrdiff_t(probe), [](uint8_t b) {
                          return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\r' || b == '\n';
                      });
    if (text)
        return "The file is text, not a game image";
    if (image.size() < smallest)
        return "The file is too small to be a game image";
    return nullptr;
}

} // namespace ConsoleFiles
