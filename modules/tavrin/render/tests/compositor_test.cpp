// The line compositor: the order in which it calls the layer renderers (seen
// through a recording renderer table), the window line, the backdrop, forced
// blank and the life cycle of the rebuild requests.

#include "modules/tavrin/testing/RenderFixture.h"

#include "modules/tavrin/render/LineCompositor.h"
#include "modules/tavrin/render/WindowLine.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace Tavrin::Test {
namespace {

// --- a recording renderer table -------------------------------------------

std::vector<std::string> Calls;

template <unsigned Kind, unsigned V>
int32_t Record(uint32_t line, uint32_t a, uint32_t b)
{
    static const char *const names[] = {"text", "affine", "bitmap16", "bitmap8", "bitmapSmall"};
    if constexpr (Kind == KindObj) {
        // The real sprite renderer answers; the log names each record it
        // went past, by priority.
        int32_t next = LayerRendererTable[KindObj * 8 + V](line, a, b);
        uint32_t end = a;
        while (end < SpriteListCapacity && SpriteList[end].priority >= int32_t(b))
            ++end;
        for (uint32_t i = a; i < end; ++i)
            Calls.push_back("S" + std::to_string(SpriteList[i].priority) + "v" + std::to_string(V));
        return next;
    } else {
        std::string what = names[Kind];
        if constexpr (Kind <= KindAffineBg)
            what += std::to_string((a >> 28) & 3);
        else
            what += "@" + std::to_string(a);
        Calls.push_back(what + "v" + std::to_string(V) + (b == V * 4 ? "" : "!"));
        return 0;
    }
}

template <unsigned... I>
constexpr std::array<LayerRenderer, 48> MakeRecorder(std::integer_sequence<unsigned, I...>)
{
    return {Record<I / 8, I % 8>...};
}
constexpr auto Recorder = MakeRecorder(std::make_integer_sequence<unsigned, 48>());

class Compositor : public ::testing::Test {
protected:
    void SetUp() override { Calls.clear(); }

    // BG n with the given priority; the words are sorted as the machine does.
    void Priorities(std::initializer_list<uint32_t> prio)
    {
        uint32_t n = 0;
        for (uint32_t p : prio)
            b.Io(0x08 + 2 * n++, p);
        b.SortBgOrder();
    }
    // One 8x8 sprite on line 0 per priority given.
    void SpritesAt(std::initializer_list<uint32_t> prio)
    {
        int n = 0;
        for (uint32_t p : prio)
            b.Sprite(n++, 0, 0, p << 10 | 512);
    }
    std::vector<std::string> DrawLine(uint32_t line = 0)
    {
        b.Io(0x006, line);
        ComposeLine(Recorder.data());
        return Calls;
    }

    RenderBlocks b;
};

using Log = std::vector<std::string>;

TEST_F(Compositor, BandsSpritesBetweenBackgroundsByPriority)
{
    struct Case {
        const char *name;
        uint32_t dispcnt;
        std::initializer_list<uint32_t> bgPriority;
        std::initializer_list<uint32_t> spritePriority;
        Log want;
    } cases[] = {
        {"all backgrounds at 0", 0x1F00, {0, 0, 0, 0}, {0, 1, 2, 3},
         {"S3v0", "S2v0", "S1v0", "text3v0", "text2v0", "text1v0", "text0v0", "S0v0"}},
        {"BG0 at 3 down to BG3 at 0", 0x1F00, {3, 2, 1, 0}, {0, 1, 2, 3},
         {"text0v0", "S3v0", "text1v0", "S2v0", "text2v0", "S1v0", "text3v0", "S0v0"}},
        {"a priority no background uses", 0x1F00, {3, 3, 0, 0}, {2, 3, 1},
         {"text1v0", "text0v0", "S3v0", "S2v0", "S1v0", "text3v0", "text2v0"}},
        {"mode 1: BG3 not drawn but banding", 0x1F01, {2, 2, 2, 0}, {1, 2},
         {"affine2v0", "text1v0", "text0v0", "S2v0", "S1v0"}},
        {"mode 2: BG0 and BG1 not drawn", 0x1F02, {0, 1, 2, 3}, {},
         {"affine3v0", "affine2v0"}},
        {"disabled backgrounds still band", 0x1100, {1, 2, 3, 0}, {0, 3},
         {"S3v0", "text0v0", "S0v0"}},
        {"sprites off", 0x0F00, {0, 0, 0, 0}, {0},
         {"text3v0", "text2v0", "text1v0", "text0v0"}},
        {"mode 3: sprites behind BG2 first", 0x1403, {0, 0, 1, 0}, {0, 2, 1},
         {"S2v0", "bitmap16@0v0", "S1v0", "S0v0"}},
        {"mode 3 ignores the page bit", 0x0413, {0, 0, 0, 0}, {}, {"bitmap16@0v0"}},
        {"mode 4 page 1", 0x0414, {0, 0, 0, 0}, {}, {"bitmap8@40960v0"}},
        {"mode 5 page 0", 0x0405, {0, 0, 0, 0}, {}, {"bitmapSmall@0v0"}},
        {"mode 6 draws nothing", 0x1F06, {0, 0, 0, 0}, {0}, {}},
        {"mode 7 draws nothing", 0x1F07, {0, 0, 0, 0}, {0}, {}},
    };
    for (const Case &c : cases) {
        b.Io(0x000, c.dispcnt);
        std::memset(b.oam.get(), 0, 1024);
        for (int n = 0; n < 128; ++n)
            b.Sprite(n, 0x200, 0, 0);  // disabled
        SpritesAt(c.spritePriority);
        Priorities(c.bgPriority);
        Calls.clear();
        RenderDirtyFlags = 0xFF;
        EXPECT_EQ(DrawLine(), c.want) << c.name;
    }
}

TEST_F(Compositor, VariantsComeFromBgOrderAndBldcnt)
{
    b.Io(0x000, 0x1F00);
    SpritesAt({0});
    for (int n = 1; n < 128; ++n)
        b.Sprite(n, 0x200, 0, 0);
    b.Io(0x050, 0x1000 | 0x10 | 0xC0);  // sprites: darken, second target
    Priorities({0, 0, 0, 0});
    BgOrder[0] |= 7u << 24;
    BgOrder[2] |= 5u << 24;
    EXPECT_EQ(DrawLine(), (Log{"text3v7", "text2v0", "text1v5", "text0v0", "S0v7"}));

    Calls.clear();
    b.Io(0x000, 0x0403);
    b.Io(0x050, 0x0400 | 0x04 | 0x80);  // BG2: brighten, second target
    EXPECT_EQ(DrawLine(), (Log{"bitmap16@0v6"}));
}

TEST_F(Compositor, ForcedBlankIsWhiteAndDefersRebuilds)
{
    b.BgColor(0, 0x001F);
    b.Io(0x000, 0x1080);
    b.Sprite(0, 0, 0, 0);  // on the line, priority 0
    RenderDirtyFlags = 0x07;
    DrawLine(3);
    EXPECT_TRUE(Calls.empty());
    EXPECT_EQ(b.Pixel(0, 3), 0xFFFF);
    EXPECT_EQ(b.Pixel(239, 3), 0xFFFF);
    EXPECT_EQ(RenderDirtyFlags, 0x07);
    EXPECT_EQ(SpriteList[0].priority, -1);

    b.Io(0x000, 0x1000);
    DrawLine(4);
    EXPECT_EQ(SpriteList[0].priority, 0);
    EXPECT_EQ(RenderDirtyFlags, 0x00);
    EXPECT_EQ(b.Pixel(0, 4), ColorToHostTable[0x001F]);
}

TEST_F(Compositor, RebuildRequestsLifeCycle)
{
    struct Case {
        uint32_t dispcnt, bldcnt;
        uint8_t left;
    } cases[] = {
        {0x0000, 0x0000, 0x00},
        {0x2000, 0x0000, 0x02},
        {0x8000, 0x0000, 0x02},
        {0x0000, 0x0100, 0x01},
        {0x0000, 0x2000, 0x01},
        {0x4000, 0x00FF, 0x02},
        {0x4000, 0x3F00, 0x03},
    };
    for (const Case &c : cases) {
        b.Io(0x000, c.dispcnt);
        b.Io(0x050, c.bldcnt);
        RenderDirtyFlags = 0xFF;
        DrawLine();
        EXPECT_EQ(RenderDirtyFlags, (0xFF & ~0x07) | c.left) << std::hex << c.dispcnt << " " << c.bldcnt;
    }

    // Without a request the lines are kept as they are.
    b.Io(0x000, 0x0000);
    b.Io(0x050, 0x0000);
    RenderDirtyFlags = 0x03;
    DrawLine();
    WindowLine[PictureColumn + 5] = 0x11;
    SecondTargetLine[PictureColumn + 5] = 0x8123;
    b.Io(0x050, 0x2000);
    DrawLine();
    EXPECT_EQ(WindowLine[PictureColumn + 5], 0x11);
    EXPECT_EQ(SecondTargetLine[PictureColumn + 5], 0x8123);
    RenderDirtyFlags = 0x03;
    b.BgColor(0, 0x0421);
    DrawLine();
    EXPECT_EQ(WindowLine[PictureColumn + 5], 0xFF);
    EXPECT_EQ(SecondTargetLine[PictureColumn + 5], 0x8421);
}

TEST_F(Compositor, BackdropEffects)
{
    const uint32_t backdrop = 30 | 17 << 5 | 9 << 10;
    struct Case {
        uint32_t bldcnt;
        uint32_t eva, evy;
        uint32_t shown;
    } cases[] = {
        {0x00E0, 0, 8, 15 | 8 << 5 | 4 << 10},   // darken by half
        {0x00A0, 0, 16, 0x7FFF},                 // brighten fully
        {0x0060, 16, 0, backdrop},               // alpha leaves the backdrop
        {0x0060, 0, 0, backdrop},                // whatever the weight
        {0x00C0, 0, 8, backdrop},                // backdrop not a first target
    };
    b.BgColor(0, backdrop | 0x8000);
    for (uint32_t mode : {0u, 6u, 7u})
        for (const Case &c : cases) {
            b.Io(0x000, mode);
            b.Io(0x050, c.bldcnt);
            BlendEva = c.eva;
            BlendEvy = c.evy;
            RenderDirtyFlags = 0xFF;
            DrawLine();
            EXPECT_EQ(b.Pixel(0, 0), ColorToHostTable[c.shown]) << mode << " " << std::hex << c.bldcnt;
            EXPECT_EQ(b.Pixel(239, 0), ColorToHostTable[c.shown]);
        }

    // The effect applies only where the window allows it.
    b.Io(0x000, 0x2000);
    b.Io(0x040, 10 << 8 | 20);
    b.Io(0x044, 0 << 8 | 160);
    b.Io(0x048, 0x0000);
    b.Io(0x04A, 0x0020);
    b.Io(0x050, 0x00E0);
    BlendEvy = 16;
    RenderDirtyFlags = 0xFF;
    DrawLine();
    EXPECT_EQ(b.Pixel(9, 0), 0);
    EXPECT_EQ(b.Pixel(10, 0), ColorToHostTable[backdrop]);
    EXPECT_EQ(b.Pixel(20, 0), 0);
}

TEST_F(Compositor, WindowSpans)
{
    struct Case {
        uint32_t line, h, v;
        std::vector<std::pair<uint32_t, uint32_t>> covered;
    } cases[] = {
        {50, 40 << 8 | 100, 0 << 8 | 160, {{40, 100}}},
        {50, 200 << 8 | 100, 0 << 8 | 160, {{200, 240}, {0, 100}}},  // wraps
        {50, 100 << 8 | 255, 0 << 8 | 160, {{100, 240}}},            // cut at 240
        {50, 250 << 8 | 10, 0 << 8 | 160, {{0, 10}}},
        {50, 30 << 8 | 30, 0 << 8 | 160, {}},
        {50, 0 << 8 | 240, 50 << 8 | 51, {{0, 240}}},
        {51, 0 << 8 | 240, 50 << 8 | 51, {}},
        {49, 0 << 8 | 240, 50 << 8 | 51, {}},
        {150, 0 << 8 | 240, 140 << 8 | 20, {{0, 240}}},             // lines wrap
        {10, 0 << 8 | 240, 140 << 8 | 20, {{0, 240}}},
        {20, 0 << 8 | 240, 140 << 8 | 20, {}},
        {139, 0 << 8 | 240, 140 << 8 | 20, {}},
    };
    for (const Case &c : cases) {
        WindowSpan s = WindowSpanOn(c.line, c.h, c.v);
        std::vector<std::pair<uint32_t, uint32_t>> got;
        for (int k = 0; k < 2; ++k)
            if (s.first[k] < s.end[k])
                got.push_back({s.first[k], s.end[k]});
        EXPECT_EQ(got, c.covered) << "line " << c.line << " h " << std::hex << c.h << " v " << c.v;
    }
}

TEST_F(Compositor, WindowPrecedence)
{
    // WIN0 [40, 100) over WIN1 [80, 200) over the OBJ window over outside.
    b.Io(0x040, 40 << 8 | 100);
    b.Io(0x042, 80 << 8 | 200);
    b.Io(0x044, 0 << 8 | 160);
    b.Io(0x046, 0 << 8 | 160);
    b.Io(0x048, 0x2201);
    b.Io(0x04A, 0x0804);
    // A 64-wide window sprite of 16-colour tiles at x 20, opaque everywhere.
    for (uint32_t i = 0; i < 0x8000; ++i)
        b.vram[0x10000 + i] = 0x11;
    b.Sprite(0, 0x0800 | 0 << 14, 20 | 3u << 14, 0);
    struct Case {
        uint32_t dispcnt;
        std::vector<std::pair<uint32_t, uint8_t>> at;
    } cases[] = {
        {0x6000, {{0, 0x04}, {39, 0x04}, {40, 0x01}, {99, 0x01}, {100, 0x22}, {199, 0x22}, {200, 0x04}}},
        {0xE000, {{0, 0x04}, {19, 0x04}, {20, 0x08}, {39, 0x08}, {40, 0x01}, {100, 0x22}, {200, 0x04}}},
        {0x8000, {{19, 0x04}, {20, 0x08}, {83, 0x08}, {84, 0x04}}},
        {0x4000, {{79, 0x04}, {80, 0x22}, {200, 0x04}}},
        {0x0000, {{0, 0xFF}, {120, 0xFF}}},
    };
    for (const Case &c : cases) {
        b.Io(0x000, c.dispcnt | 0x1000);
        RenderDirtyFlags = 0xFF;
        DrawLine();
        for (auto [x, want] : c.at)
            EXPECT_EQ(WindowLine[PictureColumn + x], want) << std::hex << c.dispcnt << std::dec << " column " << x;
    }
}

} // namespace
} // namespace Tavrin::Test
