// Cartridge images made on the spot for tests: a file in a private
// temporary folder that goes away with the object.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace Tavrin {

class TestFolder {
public:
    TestFolder()
    {
        static int serial = 0;
        dir = std::filesystem::temp_directory_path() /
              ("quintar-tavrin-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(dir);
    }
    ~TestFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;

    std::string Write(const std::string &name, const std::vector<uint8_t> &bytes) const
    {
        const std::filesystem::path path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                    std::streamsize(bytes.size()));
        return path.string();
    }
    std::string Path(const std::string &name) const { return (dir / name).string(); }

private:
    std::filesystem::path dir;
};

// An image of size bytes that starts with an ARM branch to itself at
// 0x08000000 and holds the word index in every other word, so any part of it
// is recognisable.
inline std::vector<uint8_t> SpinningImage(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i + 4 <= size; i += 4) {
        uint32_t word = i == 0 ? 0xEAFFFFFE : uint32_t(i / 4);
        for (int b = 0; b < 4; ++b)
            bytes[i + b] = uint8_t(word >> (8 * b));
    }
    return bytes;
}

} // namespace Tavrin
