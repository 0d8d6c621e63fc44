#include "modules/tavrin/cart/CartHeader.h"

#include "common/zorvan/Console.h"
#include "modules/tavrin/bus/MemoryBus.h"

#include <cstdio>
#include <cstring>

namespace Tavrin {

const RegionRow RegionTable[11] = {
    {'J', "JPN"}, {'E', "USA"}, {'P', "EUR"}, {'D', "NOE"}, {'F', "NOE"}, {'I', "ITA"},
    {'S', "SPA"}, {'H', "HOL"}, {'K', "KOR"}, {'X', "EUU"}, {0, nullptr},
};

const MakerRow MakerTable[105] = {
    {"01", "Nintendo (1)"}, {"08"}, {"0A", "Jaleco"}, {"0A", "Coconuts"}, {"0H"}, {"18"}, {"20"},
    {"28"}, {"2L"}, {"2M"}, {"2Q"}, {"33", "Nintendo (2)"}, {"41"}, {"46", "70"}, {"47"}, {"4Z"},
    {"50"}, {"51"}, {"52", "Activision"}, {"52", "American Sammy"}, {"54"}, {"55"}, {"56"}, {"5A"},
    {"5D"}, {"5G"}, {"5Z"}, {"5H"}, {"5L"}, {"5M"}, {"5Q"}, {"60"}, {"61"}, {"67"}, {"69"}, {"6F"},
    {"6H", "BBC (?)"}, {"6L"}, {"6M"}, {"6S"}, {"6U"}, {"6W"}, {"6Y"}, {"70"}, {"72"}, {"75"},
    {"78"}, {"79"}, {"7A"}, {"7D"}, {"7F"}, {"7G"}, {"7M"}, {"83"}, {"8C", "Bullet-Proof Software"},
    {"8C", "Vic Tokai"}, {"8P"}, {"93"}, {"99"}, {"9B"}, {"9C"}, {"9N"}, {"9P"}, {"A4"}, {"A6"},
    {"A7"}, {"A9"}, {"AA"}, {"AB"}, {"AF"}, {"AG"}, {"B1"}, {"B4"}, {"B6"}, {"BB"}, {"BD"}, {"BF"},
    {"BL"}, {"BP"}, {"C0"}, {"C2"}, {"C3"}, {"C5"}, {"C6"}, {"C8"}, {"CA"}, {"CB"}, {"CE"}, {"D1"},
    {"D2"}, {"D9"}, {"DA"}, {"DD"}, {"DF"}, {"E1"}, {"E5"}, {"E7"}, {"E8"}, {"EA"}, {"EB"}, {"EE"},
    {"EL"}, {"EM"}, {"EX"}, {"", nullptr},
};

const char *GbaHeaderTitle(const uint8_t *header)
{
    static char title[13];
    std::memcpy(title, header + 0xA0, 12);
    title[12] = 0;
    return title;
}

uint8_t GbaHeaderComplement(const uint8_t *header)
{
    uint32_t sum = 0;
    for (uint32_t i = 0xA0; i <= 0xBC; ++i)
        sum += header[i];
    return uint8_t(0xE7 - sum);
}

const char *GbaRegionName(const uint8_t *header)
{
    for (const RegionRow *row = RegionTable; row->letter; ++row)
        if (row->letter == header[0xAF])
            return row->name;
    return nullptr;
}

const char *GbaMakerName(const uint8_t *header)
{
    for (const MakerRow *row = MakerTable; row->code[0]; ++row)
        if (uint8_t(row->code[0]) == header[0xB0] && uint8_t(row->code[1]) == header[0xB1])
            return row->name ? row->name : row->code;
    return nullptr;
}

uint32_t GbaGameCode(const uint8_t *header)
{
    return uint32_t(header[0xAC]) << 24 | header[0xAD] << 16 | header[0xAE] << 8 | header[0xAF];
}

std::string CartHeaderSummary(const uint8_t *header)
{
    uint32_t branch;
    std::memcpy(&branch, header, 4);
    const char *maker = GbaMakerName(header);
    const char *region = GbaRegionName(header);
    const char *c = reinterpret_cast<const char *>(header);
    char text[512];
    std::snprintf(text, sizeof text,
                  "  Title:    %s (%c%c%c%c)\n"
                  "  Maker:    %s (%c%c)\n"
                  "  Country: %s (%c)\n"
                  "  Version:  %02Xh\n"
                  "  Unit:     %02Xh\n"
                  "  Device:   %02Xh\n"
                  "  Start:    %08Xh\n"
                  "  CMP:      %02Xh (computed as %02Xh)\n",
                  GbaHeaderTitle(header), c[0xAC], c[0xAD], c[0xAE], c[0xAF], maker ? maker : "Unknown",
                  c[0xB0], c[0xB1], region ? region : "", c[0xAF], header[0xBC], header[0xB3], header[0xB4],
                  ((branch & 0x00FFFFFF) << 2) + 0x08000008, header[0xBD], GbaHeaderComplement(header));
    return text;
}

void PrintHeaderSummary(const uint8_t *header)
{
    if (LogFlags)
        printConsole("%s", CartHeaderSummary(header).c_str());
}

} // namespace Tavrin
