// The header summary, the complement, the name tables and the save-hardware
// guess.
#include "modules/tavrin/cart/CartHeader.h"
#include "modules/tavrin/cart/HardwareGuess.h"
#include "modules/tavrin/machine/Machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace Tavrin::Test {
namespace {

std::vector<uint8_t> Header(const char *code, const char *maker = "01")
{
    std::vector<uint8_t> h(0x4000, 0);
    const uint32_t branch = 0xEA00002E; // b 0x080000C0
    std::memcpy(h.data(), &branch, 4);
    std::memcpy(h.data() + 0xA0, "QUINTARTEST!", 12);
    std::memcpy(h.data() + 0xAC, code, 4);
    std::memcpy(h.data() + 0xB0, maker, 2);
    h[0xB3] = 0x00;
    h[0xB4] = 0x80;
    h[0xBC] = 0x01;
    h[0xBD] = GbaHeaderComplement(h.data());
    return h;
}

TEST(CartHeader, SummaryLines)
{
    auto h = Header("BPEF");
    EXPECT_EQ(CartHeaderSummary(h.data()),
              "  Title:    QUINTARTEST! (BPEF)\n"
              "  Maker:    Nintendo (1) (01)\n"
              "  Country: NOE (F)\n"
              "  Version:  01h\n"
              "  Unit:     00h\n"
              "  Device:   80h\n"
              "  Start:    080000C0h\n"
              "  CMP:      " + [&] {
                  char t[32];
                  std::snprintf(t, sizeof t, "%02Xh (computed as %02Xh)\n", h[0xBD], h[0xBD]);
                  return std::string(t);
              }());
    h[0xBD] ^= 1;
    EXPECT_NE(CartHeaderSummary(h.data()).find("(computed as"), std::string::npos);
    EXPECT_NE(h[0xBD], GbaHeaderComplement(h.data()));
}

TEST(CartHeader, ComplementOfAKnownHeader)
{
    std::vector<uint8_t> h(0xC0, 0);
    EXPECT_EQ(GbaHeaderComplement(h.data()), 0xE7);
    for (uint32_t i = 0xA0; i <= 0xBC; ++i)
        h[i] = 0x10; // 29 bytes: 0x1D0
    EXPECT_EQ(GbaHeaderComplement(h.data()), uint8_t(0xE7 - 0x1D0));
    h[0xBD] = 0x55; // the complement byte itself is not summed
    EXPECT_EQ(GbaHeaderComplement(h.data()), uint8_t(0xE7 - 0x1D0));
}

TEST(CartHeader, RegionAndMakerNames)
{
    struct Case {
        const char *code, *maker;
        const char *region, *makerName;
    } cases[] = {
        {"AAAJ", "01", "JPN", "Nintendo (1)"},
        {"AAAD", "33", "NOE", "Nintendo (2)"},
        {"AAAF", "52", "NOE", "Activision"}, // the first of two rows wins
        {"AAAX", "0A", "EUU", "Jaleco"},
        {"AAAK", "8C", "KOR", "Bullet-Proof Software"},
        {"AAAE", "46", "USA", "70"},
        {"AAAP", "6H", "EUR", "BBC (?)"},
        {"AAAS", "A4", "SPA", "A4"}, // rows without a name print their code
        {"AAAZ", "ZZ", nullptr, nullptr},
    };
    for (const Case &c : cases) {
        auto h = Header(c.code, c.maker);
        const char *region = GbaRegionName(h.data());
        const char *maker = GbaMakerName(h.data());
        EXPECT_STREQ(region, c.region) << c.code;
        EXPECT_STREQ(maker, c.makerName) << c.maker;
    }
    auto unknown = CartHeaderSummary(Header("AAAZ", "ZZ").data());
    EXPECT_NE(unknown.find("  Maker:    Unknown (ZZ)\n"), std::string::npos);
    EXPECT_NE(unknown.find("  Country:  (Z)\n"), std::string::npos);
}

TEST(CartHeader, TablesHaveTheirRowCounts)
{
    int makers = 0;
    while (MakerTable[makers].code[0])
        ++makers;
    EXPECT_EQ(makers, 104);
    int regions = 0;
    while (RegionTable[regions].letter)
        ++regions;
    EXPECT_EQ(regions, 10);
}

TEST(HardwareGuess, RowsSetTheOptionsAndNothingLeaksToTheNextCartridge)
{
    struct Case {
        const char *code;
        const char *extra; // text somewhere in the image
        int result;
        uint32_t flashId, flashExp, eepromExp;
    } cases[] = {
        {"AXVE", nullptr, 1, 0x09C2, 17, 6},
        {"PSAJ", nullptr, 1, 0x09C2, 17, 6},
        {"BPIE", nullptr, 1, 0xD4BF, 17, 14},
        {"U3IP", nullptr, 1, 0xD4BF, 17, 14},
        {"BPEE", nullptr, 0, 0xD4BF, 17, 6}, // a near miss changes nothing
        {"A2IE", nullptr, 1, 0xD4BF, 17, 14},
        {"AMKE", nullptr, 0, 0xD4BF, 17, 6}, // after a match: back to the defaults
        {"AMKE", "FLASH1M_V103", 1, 0x09C2, 17, 6},
        {"A64E", "FLASH1M_V103", 1, 0xD4BF, 17, 14}, // the table wins
        {"AMKE", "FLASH512_V131", 0, 0xD4BF, 17, 6},
    };
    for (const Case &c : cases) {
        auto h = Header(c.code);
        if (c.extra)
            std::memcpy(h.data() + 0x3000, c.extra, std::strlen(c.extra));
        EXPECT_EQ(GuessHardware(GbaGameCode(h.data()), h.data(), h.size()), c.result) << c.code;
        EXPECT_EQ(FlashChipId, c.flashId) << c.code;
        EXPECT_EQ(FlashSizeExp, c.flashExp) << c.code;
        EXPECT_EQ(EepromSizeExp, c.eepromExp) << c.code;
    }
}

} // namespace
} // namespace Tavrin::Test
