// In-memory gzip: round trips, several members, plain data and the bound.
#include "modules/tavrin/files/GzipImage.h"

#include <gtest/gtest.h>

namespace Tavrin::Test {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(GzipImage, RoundTripsMembersAndPlainData)
{
    Bytes a(100000), b{1, 2, 3};
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = uint8_t(i * i >> 7);
    Bytes gzA, gzB, out;
    ASSERT_TRUE(GzipBytes(a, gzA));
    ASSERT_TRUE(GzipBytes(b, gzB));
    EXPECT_EQ(GunzipBounded(gzA, a.size(), out), GunzipResult::Ok);
    EXPECT_EQ(out, a);

    Bytes both = gzA;
    both.insert(both.end(), gzB.begin(), gzB.end());
    EXPECT_EQ(GunzipBounded(both, a.size() + 3, out), GunzipResult::Ok);
    EXPECT_EQ(out.size(), a.size() + 3);
    EXPECT_EQ(out.back(), 3);

    // A file that is not gzip reads through unchanged.
    EXPECT_EQ(GunzipBounded(b, 3, out), GunzipResult::Ok);
    EXPECT_EQ(out, b);
    EXPECT_EQ(GunzipBounded(b, 2, out), GunzipResult::TooLarge);
}

TEST(GzipImage, NeverInflatesPastTheLimit)
{
    Bytes zeros(10u << 20), gz, out;
    ASSERT_TRUE(GzipBytes(zeros, gz));
    EXPECT_LT(gz.size(), 20000u);
    EXPECT_EQ(GunzipBounded(gz, 4096, out), GunzipResult::TooLarge);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(GunzipBounded(gz, zeros.size() - 1, out), GunzipResult::TooLarge);
    EXPECT_EQ(GunzipBounded(gz, zeros.size(), out), GunzipResult::Ok);

    Bytes cut(gz.begin(), gz.end() - 4);
    EXPECT_EQ(GunzipBounded(cut, zeros.size(), out), GunzipResult::Damaged);
    EXPECT_EQ(GunzipBounded(Bytes{0x1F, 0x8B}, 100, out), GunzipResult::Damaged);
}

// Data that inflates but does not match its trailer, in the first or a
// later member, is damaged, and nothing of it is handed out.
TEST(GzipImage, ATrailerThatDisagreesIsDamaged)
{
    Bytes raw(5000), gz, out;
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = uint8_t(i * 13);
    ASSERT_TRUE(GzipBytes(raw, gz));
    const struct {
        const char *name;
        size_t fromEnd;
    } fields[] = {{"checksum", 8}, {"length", 4}};
    for (const auto &f : fields) {
        Bytes bad = gz;
        bad[bad.size() - f.fromEnd] ^= 0x01;
        out = raw;
        EXPECT_EQ(GunzipBounded(bad, raw.size(), out), GunzipResult::Damaged) << f.name;
        EXPECT_TRUE(out.empty()) << f.name;

        Bytes twoMembers = gz;
        twoMembers.insert(twoMembers.end(), bad.begin(), bad.end());
        EXPECT_EQ(GunzipBounded(twoMembers, 2 * raw.size(), out), GunzipResult::Damaged) << "second member, " << f.name;
        EXPECT_TRUE(out.empty()) << f.name;
    }
}

} // namespace
} // namespace Tavrin::Test
