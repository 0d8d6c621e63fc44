#include "modules/tavrin/machine/BgOrder.h"

#include "modules/tavrin/machine/IoRegisters.h"
#include "modules/tavrin/render/RenderState.h"

namespace Tavrin {

namespace {

constexpr uint32_t VariantBits = 7u << 24;

uint32_t Descriptor(uint32_t n, uint32_t value) { return (value & 3) << 30 | n << 28 | (value & 0xFFFF); }
uint32_t BgOf(uint32_t word) { return word >> 28 & 3; }

} // namespace

void ResetBgOrder()
{
    for (uint32_t k = 0; k < 4; ++k)
        BgOrder[k] = Descriptor(3 - k, IoPage ? IoGet(Io::Bg0Cnt + 2 * (3 - k)) : 0);
}

void SetBgControl(uint32_t n, uint32_t value)
{
    const uint32_t d = Descriptor(n, value);
    uint32_t k = 0;
    while (k < 3 && BgOf(BgOrder[k]) != n)
        ++k;
    if ((d >> 30) == (BgOrder[k] >> 30)) {
        BgOrder[k] = d | (BgOrder[k] & VariantBits);
        return;
    }
    while (k > 0 && BgOrder[k - 1] < d) {
        BgOrder[k] = BgOrder[k - 1];
        --k;
    }
    while (k < 3 && d < BgOrder[k + 1]) {
        BgOrder[k] = BgOrder[k + 1];
        ++k;
    }
    BgOrder[k] = d;
    UpdateBgOrder();
}

void UpdateBgOrder()
{
    const uint32_t b = IoPage ? IoGet(Io::BldCnt) : 0;
    // Alpha blending with no sprite or backdrop second target blends nothing
    // until a background second target lies behind.
    bool suppress = (b & 0x30C0) == 0x0040;
    for (uint32_t k = 0; k < 4; ++k) {
        const uint32_t n = BgOf(BgOrder[k]);
        uint32_t variant = (!suppress && (b >> n & 1)) ? (b >> 6 & 3) : 0;
        if (b >> (8 + n) & 1)
            variant += 4;
        BgOrder[k] = (BgOrder[k] & ~VariantBits) | variant << 24;
        if (variant > 3)
            suppress = false;
    }
}

} // namespace Tavrin
