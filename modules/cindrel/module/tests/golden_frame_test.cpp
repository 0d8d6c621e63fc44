// Golden frames: the shown picture of programs after a number of frames,
// compared exactly through a hash of its host pixels (each looked at once
// as a runrom PNG). The hashes hold for the 16-bit frames of the offscreen
// display the tests run on.
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "tools/testsupport/TestRoms.h"

namespace Cindrel::Test {
namespace {

uint64_t Fnv1a(std::vector<uint32_t> const &pixels)
{
    uint64_t h = 1469598103934665603ull;
    for (uint32_t p : pixels) {
        h ^= p;
        h *= 1099511628211ull;
    }
    return h;
}

struct Golden {
    char const *file; // below nes/ of the public programs
    int frames;
    uint64_t hash;
};

// full_palette has none: it changes colours within lines, which this line
// model shows as one hue's stripes, and its black band drifts from frame to
// frame.
Golden const kGolden[] = {
    {"scrolltest/scroll.nes", 120, 8451138495308039473ull},
    // On its MMC1 board it runs all 16 groups: "All 16 tests passed".
    {"instr_test-v5/official_only.nes", 3000, 4153080042473678435ull},
    // A field framed by arrow tiles that the program wobbles up and down by
    // itself; its line-159 IRQ handler, seeing $5204 bit 7 set, splits the
    // screen there to the striped ruler of name table 2 with its digits.
    {"mmc5test/mmc5test.nes", 300, 14986044613550095959ull},
    // The title, the adjustable delay (16) and the dashed rows it counts
    // lines with; the picture stays the same from frame 120 on.
    {"MMC1_A12/mmc1_a12.nes", 120, 4569678529596237073ull},
};

class CindrelGoldenFrames : public CindrelSandbox {};

TEST_F(CindrelGoldenFrames, PublicPrograms)
{
    std::string const folder = QuintarTest::TestRomFolder();
    if (folder.empty())
        GTEST_SKIP() << "public test programs not found";
    for (Golden const &g : kGolden) {
        ASSERT_TRUE(Run(fs::path(folder) / "nes" / g.file)) << Console();
        Frames(g.frames);
        if (Module().GetVideo()->m_surface0->GetBitsPerPixel() != 16)
            GTEST_SKIP() << "the golden hashes are of 16-bit frames";
        EXPECT_EQ(Fnv1a(ShownPixels()), g.hash) << g.file;
    }
}

} // namespace
} // namespace Cindrel::Test
