// The sprite list: coordinate wrap, culling against the screen, drawing
// order, the filters of disabled sprites and of the bitmap modes; and the
// sprite renderer's band calls.

#include "modules/tavrin/testing/RenderFixture.h"

#include "modules/tavrin/render/LayerRendererTable.h"
#include "modules/tavrin/render/SpriteList.h"

#include <gtest/gtest.h>

#include <vector>

namespace Tavrin::Test {
namespace {

class SpriteListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int n = 0; n < 128; ++n)
            b.Sprite(n, 0x200, 0, 0);  // disabled
    }
    std::vector<SpriteRecord> Listed()
    {
        BuildObjList();
        std::vector<SpriteRecord> out;
        for (int i = 0; SpriteList[i].priority >= 0; ++i)
            out.push_back(SpriteList[i]);
        return out;
    }
    RenderBlocks b;
};

TEST_F(SpriteListTest, WrapsAndCulls)
{
    struct Case {
        const char *name;
        uint32_t a0, a1, a2;
        bool listed;
        int32_t x, y, width, height;
    } cases[] = {
        {"X 448 stays and is dropped", 0, 448 | 3u << 14, 0, false, 0, 0, 0, 0},
        {"X 449 becomes -63", 0, 449 | 3u << 14, 0, true, -63, 0, 64, 64},
        {"Y 192 stays and is dropped", 192, 3u << 14, 0, false, 0, 0, 0, 0},
        {"Y 193 becomes -63", 193, 3u << 14, 0, true, 0, -63, 64, 64},
        {"Y 200, 8 high, is dropped", 200, 0, 0, false, 0, 0, 0, 0},
        {"Y 200, 64 high, covers lines 0-7", 200, 3u << 14, 0, true, 0, -56, 64, 64},
        {"double-size 64x64 at X 239", 0x300, 239 | 3u << 14, 0, true, 239, 0, 128, 128},
        {"affine without double size", 0x100, 10 | 1u << 14, 0, true, 10, 0, 16, 16},
        {"disabled regular sprite", 0x200 | 0x0C00, 0, 0, false, 0, 0, 0, 0},
        {"shape 3 size 2 is 32x32", 0xC000 | 5, 7 | 2u << 14, 0, true, 7, 5, 32, 32},
        {"wide 64x32", 0x4000, 3u << 14, 0, true, 0, 0, 64, 32},
        {"tall 8x16", 0x8000, 0, 0, true, 0, 0, 8, 16},
        {"window sprites are listed", 0x0800, 0, 0, true, 0, 0, 8, 8},
        {"mode-3 sprites are listed", 0x0C00, 0, 0, true, 0, 0, 8, 8},
        {"X 239 on screen", 159, 239, 0, true, 239, 159, 8, 8},
        {"Y 160 off screen", 160, 0, 0, false, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        b.Sprite(0, c.a0, c.a1, c.a2);
        auto list = Listed();
        ASSERT_EQ(list.size(), c.listed ? 1u : 0u) << c.name;
        if (!c.listed)
            continue;
        EXPECT_EQ(list[0].x, c.x) << c.name;
        EXPECT_EQ(list[0].y, c.y) << c.name;
        EXPECT_EQ(list[0].width, c.width) << c.name;
        EXPECT_EQ(list[0].height, c.height) << c.name;
        EXPECT_EQ(list[0].entry, 0) << c.name;
    }
}

// In the bitmap modes the first 512 sprite tiles hold the bitmap.
TEST_F(SpriteListTest, BitmapModesListOnlyTilesFrom512)
{
    b.Sprite(0, 0, 0, 511);
    b.Sprite(1, 0, 0, 512);
    b.Sprite(2, 0, 0, 255);
    for (uint32_t mode = 0; mode < 8; ++mode) {
        b.Io(0x000, mode);
        auto list = Listed();
        std::vector<int32_t> entries;
        for (auto &r : list)
            entries.push_back(r.entry);
        if (mode >= 3)
            EXPECT_EQ(entries, std::vector<int32_t>{1}) << mode;
        else
            EXPECT_EQ(entries, (std::vector<int32_t>{2, 1, 0})) << mode;
    }
}

TEST_F(SpriteListTest, OrderIsPriorityThenDescendingEntry)
{
    b.Sprite(5, 0, 0, 1u << 10);
    b.Sprite(9, 0, 0, 1u << 10);
    b.Sprite(100, 0, 0, 0u << 10);
    b.Sprite(3, 0, 0, 3u << 10);
    b.Sprite(127, 0, 0, 2u << 10);
    std::vector<std::pair<int32_t, int32_t>> got;
    for (auto &r : Listed())
        got.push_back({r.priority, r.entry});
    EXPECT_EQ(got, (std::vector<std::pair<int32_t, int32_t>>{{3, 3}, {2, 127}, {1, 9}, {1, 5}, {0, 100}}));
}

TEST_F(SpriteListTest, FullAndEmpty)
{
    for (int n = 0; n < 128; ++n)
        b.Sprite(n, 0, 0, 0);
    EXPECT_EQ(Listed().size(), 128u);
    EXPECT_EQ(SpriteList[128].priority, -1);
    for (int n = 0; n < 128; ++n)
        b.Sprite(n, 160, 0, 0);
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(SpriteList[0].priority, -1);
}

// The band calls: a record at the bound is drawn, the first one below it
// is returned, the end of the list gives -1.
TEST_F(SpriteListTest, BandCallsReturnTheNextRecord)
{
    b.Sprite(0, 0, 0, 2u << 10);
    b.Sprite(1, 0, 0, 1u << 10);
    b.Sprite(2, 0, 0, 1u << 10);
    b.Sprite(3, 0, 0, 0u << 10);
    BuildObjList();  // priorities 2, 1, 1, 0
    const LayerRenderer draw = LayerRendererTable[KindObj * 8];
    struct Case {
        uint32_t first, bound;
        int32_t next;
    } cases[] = {
        {0, 4, 0}, {0, 3, 0}, {0, 2, 1}, {0, 1, 3}, {1, 1, 3}, {1, 2, 1}, {3, 0, -1}, {4, 0, -1},
        {0, 0, -1}, {200, 0, -1}, {0, 0xFFFFFFFF, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(draw(0, c.first, c.bound), c.next) << c.first << " " << c.bound;
}

} // namespace
} // namespace Tavrin::Test
