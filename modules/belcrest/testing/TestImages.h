// Small Master System programs that the tests build: Z80 code from $0000 of
// a 32 KB image (two ROM pages), assembled from bytes with labels for the
// relative jumps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <vector>

namespace Belcrest::Test {

class Z80Code {
public:
    Z80Code &operator()(std::initializer_list<int> bytes)
    {
        for (int byte : bytes)
            m_bytes.push_back(uint8_t(byte));
        return *this;
    }
    uint16_t Here() const { return uint16_t(m_bytes.size()); }
    // JR NZ / JR / DJNZ to a label before this point.
    Z80Code &JumpBack(int opcode, uint16_t target)
    {
        int const offset = int(target) - (int(Here()) + 2);
        return (*this)({opcode, offset & 0xFF});
    }
    Z80Code &JrNz(uint16_t target) { return JumpBack(0x20, target); }
    Z80Code &Jr(uint16_t target) { return JumpBack(0x18, target); }
    Z80Code &Djnz(uint16_t target) { return JumpBack(0x10, target); }
    // Pads with NOPs up to an address (an interrupt entry).
    Z80Code &At(uint16_t address)
    {
        while (Here() < address)
            m_bytes.push_back(0x00);
        return *this;
    }
    // Common sequences.
    Z80Code &Start() { return (*this)({0xF3, 0x31, 0xF0, 0xDF}); } // DI; LD SP,$DFF0
    Z80Code &OutA(int port, int value) { return (*this)({0x3E, value, 0xD3, port}); }
    Z80Code &StoreA(uint16_t address) { return (*this)({0x32, address & 0xFF, address >> 8}); }
    Z80Code &LoadA(uint16_t address) { return (*this)({0x3A, address & 0xFF, address >> 8}); }
    Z80Code &Forever()
    {
        uint16_t const here = Here();
        return Jr(here);
    }

    std::vector<uint8_t> Image(size_t size = 0x8000) const
    {
        std::vector<uint8_t> image(size, 0xFF);
        std::copy(m_bytes.begin(), m_bytes.end(), image.begin());
        return image;
    }

    void Write(std::filesystem::path const &path, size_t size = 0x8000) const
    {
        std::filesystem::create_directories(path.parent_path());
        std::vector<uint8_t> const image = Image(size);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<char const *>(image.data()),
                                                    std::streamsize(image.size()));
    }

private:
    std::vector<uint8_t> m_bytes;
};

// Waits about `frames` frames of 65,232 cycles by counting: LD D,n; then
// 2,509 rounds of DEC BC / LD A,B / OR C / JR NZ (26 cycles) per frame.
inline Z80Code &WaitFrames(Z80Code &code, int frames)
{
    code({0x16, frames});
    uint16_t const outer = code.Here();
    code({0x01, 2509 & 0xFF, 2509 >> 8});
    uint16_t const inner = code.Here();
    code({0x0B, 0x78, 0xB1}).JrNz(inner);
    code({0x15}).JrNz(outer);
    return code;
}

} // namespace Belcrest::Test
