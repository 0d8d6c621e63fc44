// Reading one zip member whole: the statuses a console's loader turns into
// its messages, and the bound that keeps a lying or huge member from being
// read past the limit.
#include "engine/ZipArchive.h"
#include "tools/testsupport/TestZip.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace ZorvanEngine::Test {
namespace {

struct ZipArchiveTest : ::testing::Test {
    QTemporaryDir dir;
    std::filesystem::path Path(const char *name) { return std::filesystem::path(dir.path().toStdString()) / name; }
    static Zorvan::String Z(std::filesystem::path const &p) { return Zorvan::String(p.c_str()); }
    static std::vector<uint8_t> Bytes(std::string const &s) { return {s.begin(), s.end()}; }
};

TEST_F(ZipArchiveTest, ReadsTheNamedMemberWithinItsLimit)
{
    auto const zip = Path("set.zip");
    std::string const big(100000, 'x');
    WriteZip(zip, {{"a.txt", "first"}, {"game.sms", big}, {"b.txt", ""}});

    std::vector<uint8_t> out;
    EXPECT_EQ(ReadZipMember(Z(zip), L"game.sms", big.size(), out), ZipReadStatus::Ok);
    EXPECT_EQ(out, Bytes(big));
    EXPECT_EQ(ReadZipMember(Z(zip), L"b.txt", 10, out), ZipReadStatus::Ok);
    EXPECT_TRUE(out.empty());

    // One byte over the limit: refused, never past the limit (a member whose
    // header tells its size is not inflated at all).
    EXPECT_EQ(ReadZipMember(Z(zip), L"game.sms", big.size() - 1, out), ZipReadStatus::TooLarge);
    EXPECT_LE(out.size(), big.size() - 1);

    EXPECT_EQ(ReadZipMember(Z(zip), L"GAME.SMS", 1 << 20, out), ZipReadStatus::NoMember);
    EXPECT_TRUE(out.empty());
}

TEST_F(ZipArchiveTest, DamagedArchivesAndDataAreReported)
{
    auto const plain = Path("plain.zip");
    std::ofstream(plain, std::ios::binary) << "not an archive at all";
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadZipMember(Z(plain), L"x", 10, out), ZipReadStatus::OpenFailed);
    EXPECT_EQ(ReadZipMember(Z(Path("missing.zip")), L"x", 10, out), ZipReadStatus::OpenFailed);

    // Flip one byte of a stored member's data: its checksum no longer holds.
    auto const zip = Path("crc.zip");
    std::string const content(4096, 'q');
    WriteZip(zip, {{"data.bin", content}});
    std::string bytes;
    {
        std::ifstream in(zip, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // Deflated data of a repeated byte is short; damage the middle of the
    // compressed stream, which follows the 30-byte header and the name.
    size_t const dataStart = 30 + 8;
    bytes[dataStart + 2] = char(bytes[dataStart + 2] ^ 0x55);
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes;
    ZipReadStatus const status = ReadZipMember(Z(zip), L"data.bin", 1 << 20, out);
    EXPECT_TRUE(status == ZipReadStatus::CrcError || status == ZipReadStatus::ReadFailed);
    EXPECT_TRUE(out.empty());
}

TEST_F(ZipArchiveTest, MemberNamesAreReadAtFullLength)
{
    auto const zip = Path("long.zip");
    std::string const longName = std::string(300, 'n') + ".nes";
    WriteZip(zip, {{"readme.txt", "hi"}, {longName, "rom"}});
    auto const names = ZipMemberNames(Z(zip));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(std::string(static_cast<char const *>(names[1])), longName);
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadZipMember(Z(zip), names[1], 10, out), ZipReadStatus::Ok);
    EXPECT_EQ(out, Bytes("rom"));
}

TEST_F(ZipArchiveTest, EmptyNamesAndNamesHoldingAZeroByteAreSkipped)
{
    // "game\0.nes" would be chosen by its ending and then opened as "game".
    auto const zip = Path("tricky.zip");
    WriteZip(zip, {{"game", "other"}, {"gameZ.nes", "tricked"}, {"", "nameless"}, {"real.nes", "rom"}});
    std::string bytes;
    {
        std::ifstream in(zip, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    for (size_t at = bytes.find("gameZ.nes"); at != std::string::npos; at = bytes.find("gameZ.nes", at))
        bytes[at + 4] = '\0';
    std::ofstream(zip, std::ios::binary | std::ios::trunc) << bytes;

    auto const names = ZipMemberNames(Z(zip));
    std::vector<std::string> got;
    for (auto const &name : names)
        got.emplace_back(static_cast<char const *>(name));
    EXPECT_EQ(got, (std::vector<std::string>{"game", "real.nes"}));

    std::vector<uint8_t> out;
    EXPECT_EQ(ReadZipMember(Z(zip), L"game", 100, out), ZipReadStatus::Ok);
    EXPECT_EQ(out, Bytes("other"));
    EXPECT_EQ(ReadZipMember(Z(zip), L"", 100, out), ZipReadStatus::NoMember);
}

} // namespace
} // namespace ZorvanEngine::Test
