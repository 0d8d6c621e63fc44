#include "modules/tavrin/cart/HardwareGuess.h"

#include "modules/tavrin/machine/Machine.h"

#include <cstring>
#include <string_view>

namespace Tavrin {

const HardwareGuessRow HardwareGuessTable[10] = {
    {"AX??", 0x09C2, 0}, {"PSA?", 0x09C2, 0}, {"A2I?", 0, 14}, {"A64?", 0, 14}, {"AAS?", 0, 14},
    {"AED?", 0, 14},     {"BPI?", 0, 14},     {"BZM?", 0, 14}, {"U3I?", 0, 14}, {nullptr, 0, 0},
};

namespace {

constexpr uint32_t LargeFlashId = 0x09C2;
constexpr std::string_view LargeFlashName = "FLASH1M_V";

bool Matches(const char *pattern, uint32_t gameCode)
{
    for (int i = 0; i < 4; ++i) {
        char c = char(gameCode >> (24 - 8 * i));
        if (!pattern[i] || (pattern[i] != '?' && pattern[i] != c))
            return false;
    }
    return pattern[4] == 0;
}

bool NamesLargeFlash(const uint8_t *image, size_t size)
{
    std::string_view text(reinterpret_cast<const char *>(image), size);
    return text.find(LargeFlashName) != std::string_view::npos;
}

} // namespace

int GuessHardware(uint32_t gameCode, const uint8_t *image, size_t size)
{
    FlashChipId = 0xD4BF;
    FlashSizeExp = 17;
    EepromSizeExp = 6;
    for (const HardwareGuessRow *row = HardwareGuessTable; row->pattern; ++row) {
        if (!Matches(row->pattern, gameCode))
            continue;
        if (row->flashId)
            FlashChipId = row->flashId;
        if (row->flashId && row->sizeExp)
            FlashSizeExp = row->sizeExp;
        if (!row->flashId && row->sizeExp)
            EepromSizeExp = row->sizeExp;
        return 1;
    }
    if (image && NamesLargeFlash(image, size)) {
        FlashChipId = LargeFlashId;
        return 1;
    }
    return 0;
}

int GuessHardware(uint32_t gameCode) { return GuessHardware(gameCode, MachineBlocks.cart, MachineBlocks.cartSize); }

} // namespace Tavrin
