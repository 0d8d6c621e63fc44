// The fixture of the 6502 module's tests: the console modules' sandbox on a
// CindrelModule, the shown picture's host pixels and a small game cartridge.
#pragma once

#include "modules/cindrel/machine/Machine.h"
#include "modules/cindrel/testing/CartridgeBuilder.h"
#include "modules/cindrel/module/CindrelModule.h"
#include "modules/cindrel/video/LineRenderers.h"
#include "modules/common/tests/ModuleSandbox.h"

#include <cstring>

namespace Cindrel::Test {

namespace fs = std::filesystem;

class CindrelSandbox : public ConsoleGlue::Test::ModuleSandbox<CindrelModule, CindrelTexts, 320, 320> {
protected:
    // The raw host pixels of the shown window of the frame drawn last.
    std::vector<uint32_t> ShownPixels() const
    {
        Ondrel::Surface const *surface = LastDrawnSurface();
        int const bytes = (surface->GetBitsPerPixel() + 7) / 8;
        std::vector<uint32_t> pixels;
        for (int y = 8; y < 232; ++y) {
            uint8_t const *row = surface->Row(y);
            for (int x = 8; x < 264; ++x) {
                uint32_t p = 0;
                std::memcpy(&p, row + x * bytes, size_t(bytes));
                pixels.push_back(p);
            }
        }
        return pixels;
    }

    // The host pixel of a colour number at the frame's depth.
    uint32_t HostOf(int colour) const
    {
        int const bits = Module().GetVideo()->m_surface0->GetBitsPerPixel();
        return bits <= 8 ? PpuColorTable.c8[colour] : bits <= 16 ? PpuColorTable.c16[colour] : PpuColorTable.c32[colour];
    }
};

// A program in the style of a small game: palette, a name table of tiles
// 0-3 by column, background and sprites on, NMI on; the NMI counts frames
// at $10 and copies the pad byte to $11. Pattern tiles 1-3 are solid
// values 1-3.
inline CartridgeBuilder SceneCartridge()
{
    CartridgeBuilder cart(2, 1);
    std::vector<uint8_t> code = {
        0x78, 0xD8, 0xA2, 0xFF, 0x9A,             // SEI CLD LDX #$FF TXS
        0xA9, 0x00, 0x8D, 0x01, 0x20,             // picture off while video memory is written
        0x2C, 0x02, 0x20, 0x10, 0xFB,             // wait for vertical blank
        0x2C, 0x02, 0x20, 0x10, 0xFB,             // and once more
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // $2006 = $3F00
        0xA2, 0x00, 0xBD, 0x00, 0xD0, 0x8D, 0x07, 0x20, 0xE8, 0xE0, 0x20, 0xD0, 0xF5, // 32 palette bytes from $D000
        0xA9, 0x20, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // $2006 = $2000
        0xA0, 0x04, 0xA2, 0x00, 0x8A, 0x29, 0x03, 0x8D, 0x07, 0x20, 0xE8, 0xD0, 0xF7, 0x88, 0xD0, 0xF2, // 1 KB
        0xA9, 0x00, 0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20, // scroll 0, 0
        0xA9, 0x80, 0x8D, 0x00, 0x20, 0xA9, 0x1E, 0x8D, 0x01, 0x20, // NMI on; picture on
        0x4C, 0x00, 0x00,                          // JMP to itself (patched below)
    };
    size_t const jump = code.size() - 2;
    uint16_t const self = uint16_t(0xC000 + code.size() - 3);
    code[jump] = uint8_t(self);
    code[jump + 1] = uint8_t(self >> 8);
    cart.Code(0xC000, code);
    // NMI: count, then read the pad into $11 (A ends in bit 0).
    cart.Code(0xC800, {0x48, 0x8A, 0x48, 0xE6, 0x10, 0xA9, 0x01, 0x8D, 0x16, 0x40, 0xA9, 0x00, 0x8D, 0x16, 0x40,
                       0xA2, 0x08, 0xAD, 0x16, 0x40, 0x4A, 0x66, 0x11, 0xCA, 0xD0, 0xF7, 0x68, 0xAA, 0x68, 0x40});
    std::vector<uint8_t> palette(32);
    for (int i = 0; i < 32; ++i)
        palette[i] = uint8_t((i * 5 + 1) & 0x3F);
    cart.Code(0xD000, palette);
    cart.Code(0xC900, {0x40}); // RTI
    cart.Vectors(0xC800, 0xC000, 0xC900);
    for (int tile = 1; tile < 4; ++tile)
        for (int row = 0; row < 8; ++row) {
            cart.Vrom()[size_t(tile * 16 + row)] = (tile & 1) ? 0xFF : 0x00;
            cart.Vrom()[size_t(tile * 16 + row + 8)] = (tile & 2) ? 0xFF : 0x00;
        }
    return cart;
}

} // namespace Cindrel::Test
