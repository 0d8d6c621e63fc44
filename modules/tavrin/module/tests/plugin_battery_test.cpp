// Battery memory across closing and reopening through the real plug-in: a
// game that reads one EEPROM block by DMA and then writes it sees, at its
// next start, what it wrote before; also below a saved-game folder whose
// path is longer than any fixed name buffer.
#include "modules/tavrin/testing/TestImage.h"
#include "modules/tavrin/module/tests/PluginSandbox.h"
#include "modules/tavrin/testing/ArmAsm.h"

namespace Tavrin::Test {
namespace {

constexpr uint32_t kRom = 0x08000000;
constexpr uint32_t kEeprom = 0x0D000000;
constexpr uint32_t kReadBack = 0x02001000; // where the game's read lands, one bit per halfword
constexpr uint32_t kBlock = 5;
constexpr uint64_t kWritten = 0x0123456789ABCDEFull;

// Offsets in the image.
constexpr uint32_t kCode = 0x100, kLiterals = 0x180, kReadRequest = 0x200, kWriteRequest = 0x280;

void Put32(std::vector<uint8_t> &image, uint32_t offset, uint32_t word)
{
    for (int b = 0; b < 4; ++b)
        image[offset + uint32_t(b)] = uint8_t(word >> (8 * b));
}

// A request for the 6-bit-address chip, one bit per halfword: start bit,
// read bit, the block, the data (for a write), a closing 0.
uint32_t PutRequest(std::vector<uint8_t> &image, uint32_t offset, bool read, uint64_t const *data)
{
    std::vector<uint16_t> bits{1, uint16_t(read)};
    for (int i = 5; i >= 0; --i)
        bits.push_back(uint16_t((kBlock >> i) & 1));
    for (int i = 63; data && i >= 0; --i)
        bits.push_back(uint16_t((*data >> i) & 1));
    bits.push_back(0);
    for (size_t i = 0; i < bits.size(); ++i) {
        image[offset + 2 * i] = uint8_t(bits[i]);
        image[offset + 2 * i + 1] = 0;
    }
    return uint32_t(bits.size());
}

// The game: three immediate 16-bit DMA transfers on channel 3 (the read
// request, the 68 bits it answers into work RAM, the write request), then
// a branch to itself.
std::vector<uint8_t> EepromGame()
{
    std::vector<uint8_t> image = Tavrin::SpinningImage(0x4000);
    uint32_t const readUnits = PutRequest(image, kReadRequest, true, nullptr);
    uint32_t const writeUnits = PutRequest(image, kWriteRequest, false, &kWritten);
    uint32_t const literals[] = {
        0x040000D4,
        kRom + kReadRequest, kEeprom, 0x80000000 | readUnits,
        kEeprom, kReadBack, 0x80000000 | 68,
        kRom + kWriteRequest, kEeprom, 0x80000000 | writeUnits,
    };
    for (size_t i = 0; i < std::size(literals); ++i)
        Put32(image, kLiterals + 4 * uint32_t(i), literals[i]);

    uint32_t at = kCode;
    auto Emit = [&](uint32_t word) {
        Put32(image, at, word);
        at += 4;
    };
    auto literal = [&](uint32_t rd, size_t index) {
        Emit(Asm::Mem(true, false, true, true, false, rd, 15, kLiterals + 4 * uint32_t(index) - (at + 8)));
    };
    Put32(image, 0, Asm::Branch(kRom, kRom + kCode));
    literal(0, 0);
    for (size_t transfer = 0; transfer < 3; ++transfer) {
        for (uint32_t r = 1; r <= 3; ++r)
            literal(r, 1 + 3 * transfer + (r - 1));
        Emit(Asm::Block(false, false, true, false, 0, Asm::List({1, 2, 3})));
    }
    Emit(Asm::SpinArm);
    return image;
}

class TavrinBatteryTest : public TavrinModuleTest {
protected:
    // Starts the game, lets it run, and returns the block it read.
    uint64_t Play(fs::path const &image)
    {
        if (!engine->RunFile(Wide(image))) {
            ADD_FAILURE() << Console();
            return 0;
        }
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(Active().RunFrame());
        uint64_t value = 0;
        for (uint32_t i = 0; i < 68; ++i) {
            uint32_t const bit = words->Read16(kReadBack + 2 * i) & 1;
            if (i < 4)
                EXPECT_EQ(bit, 0u) << "dummy bit " << i;
            else
                value = value << 1 | bit;
        }
        return value;
    }
};

TEST_F(TavrinBatteryTest, EepromWrittenByDmaIsReadBackAfterCloseAndReopen)
{
    StoreRunSettings(false);
    fs::path const image = Image("eeprom.gba", EepromGame());
    // A saved-game folder whose path alone is 400 characters.
    fs::path deep = root / "saves";
    while (deep.string().size() < 400)
        deep /= std::string(60, 'd');
    deep = deep.string().substr(0, 400);
    fs::create_directories(deep);
    struct Case {
        char const *what;
        fs::path saveRoot; // empty: the default folder
    } const cases[] = {{"default folder", {}}, {"400-character folder", deep}};
    for (Case const &c : cases) {
        engine->GetSettings().Set(L"SavedGameRoot", Wide(c.saveRoot), false);
        EXPECT_EQ(Play(image), ~0ull) << c.what << ": a blank chip reads as erased";
        std::string const battery = Narrow(Active().GetSaveName());
        engine->Shutdown();
        ASSERT_TRUE(fs::exists(battery)) << c.what << ": " << battery;
        if (!c.saveRoot.empty()) {
            EXPECT_EQ(battery.rfind(c.saveRoot.string(), 0), 0u) << c.what;
        }
        EXPECT_EQ(Play(image), kWritten) << c.what;
        engine->Shutdown();
        fs::remove(battery);
    }
}

} // namespace
} // namespace Tavrin::Test
