// The flags the chip raises while it finds a line's mode-4 sprites, with
// or without drawing: overflow for a ninth sprite, collision where two
// drawn sprites' opaque pixels meet on the screen (magnified ones by their
// magnified pixels).
#include "modules/belcrest/testing/MachineStandIns.h"
#include "modules/belcrest/vdp/Vdp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace Belcrest::Test {
namespace {

struct Sprite {
    uint8_t x, y, pattern;
};

struct FlagCase {
    const char *name;
    uint8_t reg0, reg1;
    std::vector<Sprite> sprites;
    uint8_t status;
};

// Sprite patterns at $2000: 1 all opaque, 2 opaque in its left four
// columns, 3 in its right four.
void SpritePatterns()
{
    for (unsigned row = 0; row < 8; ++row) {
        Vram[0x2000 + 32 + 4 * row] = 0xFF;
        Vram[0x2000 + 64 + 4 * row] = 0xF0;
        Vram[0x2000 + 96 + 4 * row] = 0x0F;
    }
}

class Mode4SpritesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetStandIns();
        MachineWord = MachineMasterSystem;
        std::memset(VdpMemory, 0, sizeof VdpMemory);
        VdpReset();
        SpritePatterns();
    }
    // The status bits after the chip has looked at every active line.
    static uint8_t FlagsOfFrame(const FlagCase &c)
    {
        VdpWriteRegister(0, c.reg0);
        VdpWriteRegister(1, c.reg1);
        VdpWriteRegister(5, 0xFF);
        VdpWriteRegister(6, 0xFF);
        for (size_t i = 0; i < c.sprites.size(); ++i) {
            Vram[0x3F00 + i] = c.sprites[i].y;
            Vram[0x3F80 + 2 * i] = c.sprites[i].x;
            Vram[0x3F81 + 2 * i] = c.sprites[i].pattern;
        }
        Vram[0x3F00 + c.sprites.size()] = 0xD0;
        VdpStatus = 0;
        for (int line = 0; line < 192; ++line)
            VdpEvaluateSprites(line);
        return VdpStatus;
    }
};

TEST_F(Mode4SpritesTest, OverflowAndCollisionFlags)
{
    const std::vector<Sprite> nine = {{0, 9, 1},   {20, 9, 1},  {40, 9, 1},  {60, 9, 1}, {80, 9, 1},
                                      {100, 9, 1}, {120, 9, 1}, {140, 9, 1}, {160, 9, 1}};
    std::vector<Sprite> ninthOverlaps(nine);
    ninthOverlaps[8].x = 4; // over sprite 0, but never drawn
    const FlagCase cases[] = {
        {"eight on a line", 0x04, 0x40, std::vector<Sprite>(nine.begin(), nine.end() - 1), 0},
        {"nine on a line", 0x04, 0x40, nine, VdpStatusOverflow},
        {"nine, the ninth on a line of its own", 0x04, 0x40,
         {{0, 9, 1}, {20, 9, 1}, {40, 9, 1}, {60, 9, 1}, {80, 9, 1}, {100, 9, 1}, {120, 9, 1}, {140, 9, 1}, {160, 30, 1}},
         0},
        {"the ninth sprite does not collide", 0x04, 0x40, ninthOverlaps, VdpStatusOverflow},
        {"opaque pixels meet", 0x04, 0x40, {{10, 10, 1}, {17, 17, 1}}, VdpStatusCollision},
        {"boxes overlap, opaque pixels do not", 0x04, 0x40, {{10, 10, 2}, {14, 10, 3}}, 0},
        {"sprites 12 apart, plain", 0x04, 0x40, {{10, 10, 1}, {22, 10, 1}}, 0},
        {"sprites 12 apart, magnified", 0x04, 0x41, {{10, 10, 1}, {22, 10, 1}}, VdpStatusCollision},
        {"12 lines apart, magnified", 0x04, 0x41, {{10, 10, 1}, {10, 22, 1}}, VdpStatusCollision},
        {"16 apart, magnified, touching", 0x04, 0x41, {{10, 10, 1}, {26, 10, 1}}, 0},
        {"meeting only left of column 0", 0x0C, 0x40, {{0, 10, 1}, {6, 10, 1}}, 0},
        {"meeting at column 255", 0x04, 0x40, {{248, 10, 1}, {255, 10, 1}}, VdpStatusCollision},
        {"meeting only right of column 255", 0x04, 0x41, {{250, 10, 3}, {255, 10, 3}}, 0},
        {"display off: no sprites at all", 0x04, 0x00, nine, 0},
    };
    for (const FlagCase &c : cases)
        EXPECT_EQ(FlagsOfFrame(c), c.status) << c.name;
}

} // namespace
} // namespace Belcrest::Test
