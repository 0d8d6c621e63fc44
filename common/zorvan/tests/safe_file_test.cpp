// Whole-file writes that never lose the old file, bounded whole-file reads,
// and damaged files kept aside without replacing an older one.
#include "common/zorvan/SafeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace Zorvan;

namespace {

struct SafeFileTest : ::testing::Test {
    fs::path dir;
    void SetUp() override
    {
        char name[] = "/tmp/safefileXXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override { fs::remove_all(dir); }
    static std::string Read(fs::path const &p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static std::vector<uint8_t> Bytes(std::string const &s) { return {s.begin(), s.end()}; }
};

TEST_F(SafeFileTest, ReplacesWholeOrKeepsTheOldFile)
{
    fs::path const file = dir / "game.sav";
    ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("old contents")));
    ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("new")));
    EXPECT_EQ(Read(file), "new");
    EXPECT_FALSE(fs::exists(dir / "game.sav.tmp"));

    // A folder that does not exist: nothing written, nothing left.
    EXPECT_FALSE(WriteFileReplacing((dir / "none" / "x.sav").string(), Bytes("data")));
    EXPECT_FALSE(fs::exists(dir / "none"));
}

TEST_F(SafeFileTest, AWriteThatFillsTheDiskKeepsTheOldFile)
{
    fs::path const file = dir / "game.sav";
    ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("old contents")));
    pid_t child = fork();
    if (child == 0) {
        // A file-size limit makes the write fail part-way, as a full disk does.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::vector<uint8_t> big(100000, 7);
        _exit(WriteFileReplacing(file.string(), big) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was reported as success";
    EXPECT_EQ(Read(file), "old contents");
    EXPECT_FALSE(fs::exists(dir / "game.sav.tmp"));
}

TEST_F(SafeFileTest, ReadsNeverPastTheLimit)
{
    fs::path const file = dir / "image.bin";
    std::ofstream(file, std::ios::binary) << std::string(1000, 'a');
    std::vector<uint8_t> out;

    struct Case { size_t limit; ReadResult result; size_t size; };
    for (Case c : {Case{1000, ReadResult::Ok, 1000}, Case{5000, ReadResult::Ok, 1000},
                   Case{999, ReadResult::TooLarge, 999}, Case{0, ReadResult::TooLarge, 0}}) {
        EXPECT_EQ(ReadFileBounded(file.string(), c.limit, out), c.result) << c.limit;
        EXPECT_EQ(out.size(), c.size) << c.limit;
    }
    EXPECT_EQ(ReadFileBounded((dir / "missing").string(), 10, out), ReadResult::Missing);
    EXPECT_EQ(ReadFileBounded(dir.string(), 10, out), ReadResult::NotAFile);
    EXPECT_TRUE(out.empty());
}

TEST_F(SafeFileTest, DamagedFilesAreKeptWithoutReplacingOlderOnes)
{
    fs::path const file = dir / "game.sav";
    std::ofstream(file) << "first";
    EXPECT_EQ(KeepAsDamaged(file.string()), file.string() + ".damaged");
    std::ofstream(file) << "second";
    EXPECT_EQ(KeepAsDamaged(file.string()), file.string() + ".damaged.1");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(Read(dir / "game.sav.damaged"), "first");
    EXPECT_EQ(Read(dir / "game.sav.damaged.1"), "second");
    EXPECT_EQ(KeepAsDamaged((dir / "missing").string()), "");
}

} // namespace
