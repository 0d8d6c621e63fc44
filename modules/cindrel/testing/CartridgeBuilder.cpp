#include "modules/cindrel/testing/CartridgeBuilder.h"

#include <fstream>

namespace Cindrel::Test {

CartridgeBuilder::CartridgeBuilder(int romPages, int vromPages)
    : rom_(size_t(romPages) * 0x4000, 0xEA), vrom_(size_t(vromPages) * 0x2000, 0)
{
    header_[4] = uint8_t(romPages);
    header_[5] = uint8_t(vromPages);
}

CartridgeBuilder &CartridgeBuilder::Mapper(int number)
{
    header_[6] = uint8_t((header_[6] & 0x0F) | (number & 0x0F) << 4);
    header_[7] = uint8_t((header_[7] & 0x0F) | (number & 0xF0));
    mapperHigh_ = uint8_t((number >> 8) & 15);
    return *this;
}

CartridgeBuilder &CartridgeBuilder::Vertical() { header_[6] |= 1; return *this; }
CartridgeBuilder &CartridgeBuilder::FourScreen() { header_[6] |= 8; return *this; }
CartridgeBuilder &CartridgeBuilder::Battery() { header_[6] |= 2; return *this; }
CartridgeBuilder &CartridgeBuilder::VsSystem() { header_[7] |= 1; return *this; }
CartridgeBuilder &CartridgeBuilder::Pal() { header_[9] |= 1; return *this; }
CartridgeBuilder &CartridgeBuilder::RamPages(uint8_t headerByte8) { header_[8] = headerByte8; return *this; }

CartridgeBuilder &CartridgeBuilder::Trainer(std::vector<uint8_t> bytes)
{
    bytes.resize(512);
    trainer_ = std::move(bytes);
    header_[6] |= 4;
    return *this;
}

CartridgeBuilder &CartridgeBuilder::HeaderTail(std::vector<uint8_t> bytes)
{
    for (size_t i = 0; i < bytes.size() && i < 6; ++i)
        header_[10 + i] = bytes[i];
    return *this;
}

CartridgeBuilder &CartridgeBuilder::Nes2(int submapper, uint8_t ramSizes, uint8_t patternRamSizes)
{
    header_[7] = uint8_t((header_[7] & 0xF3) | 0x08);
    header_[8] = uint8_t(submapper << 4 | mapperHigh_);
    header_[9] = uint8_t(((rom_.size() / 0x4000) >> 8 & 15) | ((vrom_.size() / 0x2000) >> 8 & 15) << 4);
    header_[10] = ramSizes;
    header_[11] = patternRamSizes;
    return *this;
}

CartridgeBuilder &CartridgeBuilder::RomAt(size_t offset, std::vector<uint8_t> bytes)
{
    for (size_t i = 0; i < bytes.size() && offset + i < rom_.size(); ++i)
        rom_[offset + i] = bytes[i];
    return *this;
}

CartridgeBuilder &CartridgeBuilder::VromAt(size_t offset, std::vector<uint8_t> bytes)
{
    for (size_t i = 0; i < bytes.size() && offset + i < vrom_.size(); ++i)
        vrom_[offset + i] = bytes[i];
    return *this;
}

CartridgeBuilder &CartridgeBuilder::Code(uint16_t address, std::vector<uint8_t> bytes)
{
    size_t offset = address - 0x8000u;
    if (address >= 0xC000 && rom_.size() >= 0x4000)
        offset = rom_.size() - 0x4000 + (address - 0xC000u);
    return RomAt(offset, std::move(bytes));
}

CartridgeBuilder &CartridgeBuilder::Vectors(uint16_t nmi, uint16_t reset, uint16_t irq)
{
    return Code(0xFFFA, {uint8_t(nmi), uint8_t(nmi >> 8), uint8_t(reset), uint8_t(reset >> 8), uint8_t(irq),
                         uint8_t(irq >> 8)});
}

std::vector<uint8_t> CartridgeBuilder::Bytes() const
{
    std::vector<uint8_t> out(header_, header_ + 16);
    out.insert(out.end(), trainer_.begin(), trainer_.end());
    out.insert(out.end(), rom_.begin(), rom_.end());
    out.insert(out.end(), vrom_.begin(), vrom_.end());
    return out;
}

void CartridgeBuilder::Write(std::filesystem::path const &path) const
{
    std::filesystem::create_directories(path.parent_path());
    const std::vector<uint8_t> bytes = Bytes();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

} // namespace Cindrel::Test
