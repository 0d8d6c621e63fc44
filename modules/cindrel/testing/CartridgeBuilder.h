// Builds cartridge images for tests: the 16-byte header, program ROM with
// code placed at CPU addresses, a trainer, pattern ROM, written plain or as
// a zip member. Shared by the machine, mapper and module tests.
//
//   CartridgeBuilder cart(2, 1);            // 32 KB program, 8 KB pattern
//   cart.Code(0xC000, {0xA9, 0x01, ...}).Vectors(0xC100, 0xC000, 0xC200);
//   cart.Write(folder / "game.nes");
#pragma once

#include "tools/testsupport/TestZip.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Cindrel::Test {

class CartridgeBuilder {
public:
    // Program pages of 16 KB (filled with $EA, NOP) and pattern pages of
    // 8 KB (filled with 0); mapper 0, horizontal mirroring, NTSC.
    explicit CartridgeBuilder(int romPages = 2, int vromPages = 1);

    CartridgeBuilder &Mapper(int number);
    CartridgeBuilder &Vertical();
    CartridgeBuilder &FourScreen();
    CartridgeBuilder &Battery();
    CartridgeBuilder &VsSystem();
    CartridgeBuilder &Pal();
    CartridgeBuilder &RamPages(uint8_t headerByte8);
    CartridgeBuilder &Trainer(std::vector<uint8_t> bytes); // 512 bytes
    // Header bytes 10-15 (normally zero).
    CartridgeBuilder &HeaderTail(std::vector<uint8_t> bytes);
    // The NES 2.0 form: the submapper, and the work-RAM and pattern-RAM size
    // bytes (a shift count in each nibble, 64 << n bytes: 7 is 8 KB, 9 is
    // 32 KB, 0 none; the high nibble counts battery-backed memory). Call it
    // after Mapper, whose bits 8-11 it adds; the page counts' high bits go
    // into byte 9.
    CartridgeBuilder &Nes2(int submapper, uint8_t ramSizes, uint8_t patternRamSizes);

    // Bytes at a CPU address under the default mapping: $8000-$BFFF is the
    // first program page, $C000-$FFFF the last.
    CartridgeBuilder &Code(uint16_t address, std::vector<uint8_t> bytes);
    // Bytes at an offset of the whole program or pattern ROM.
    CartridgeBuilder &RomAt(size_t offset, std::vector<uint8_t> bytes);
    CartridgeBuilder &VromAt(size_t offset, std::vector<uint8_t> bytes);
    CartridgeBuilder &Vectors(uint16_t nmi, uint16_t reset, uint16_t irq);

    std::vector<uint8_t> Bytes() const;
    std::string Text() const { auto b = Bytes(); return std::string(b.begin(), b.end()); }
    void Write(std::filesystem::path const &path) const;
    // A zip archive holding the image as member (after any others given).
    void WriteZipped(std::filesystem::path const &path, std::string const &member,
                     std::vector<std::pair<std::string, std::string>> others = {}) const
    {
        others.emplace_back(member, Text());
        WriteZip(path, others);
    }

    std::vector<uint8_t> &Rom() { return rom_; }
    std::vector<uint8_t> &Vrom() { return vrom_; }

private:
    uint8_t header_[16] = {'N', 'E', 'S', 0x1A};
    uint8_t mapperHigh_ = 0; // bits 8-11 of the mapper number, for the NES 2.0 form
    std::vector<uint8_t> trainer_;
    std::vector<uint8_t> rom_;
    std::vector<uint8_t> vrom_;
};

} // namespace Cindrel::Test
