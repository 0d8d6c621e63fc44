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

// What a killed writer leaves at the temporary name: a part-written file, a
// read-only one, or a link someone put there. The next write makes its own
// file (never writing through the link), and start-up clears it.
TEST_F(SafeFileTest, ATemporaryFileLeftBehindIsReplacedOrCleared)
{
    fs::path const file = dir / "game.sav", temp = dir / "game.sav.tmp", outside = dir / "outside";
    std::ofstream(outside) << "not to be touched";
    struct Case {
        const char *name;
        void (*leave)(fs::path const &temp, fs::path const &outside);
    };
    const Case cases[] = {
        {"part-written file", [](fs::path const &t, fs::path const &) { std::ofstream(t) << "half a sa"; }},
        {"read-only file",
         [](fs::path const &t, fs::path const &) {
             std::ofstream(t) << "half";
             fs::permissions(t, fs::perms::owner_read);
         }},
        {"link to another file", [](fs::path const &t, fs::path const &o) { fs::create_symlink(o, t); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.leave(temp, outside);
        ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("saved")));
        EXPECT_EQ(Read(file), "saved");
        EXPECT_FALSE(fs::is_symlink(file));
        EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));
        EXPECT_EQ(Read(outside), "not to be touched");

        c.leave(temp, outside);
        EXPECT_TRUE(RemoveLeftTemporary(file.string()));
        EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));
        EXPECT_EQ(Read(outside), "not to be touched");
        EXPECT_FALSE(RemoveLeftTemporary(file.string()));
    }
    // A folder at that name is not a temporary file of ours.
    fs::create_directory(temp);
    EXPECT_FALSE(RemoveLeftTemporary(file.string()));
    EXPECT_TRUE(fs::is_directory(temp));
    EXPECT_FALSE(WriteFileReplacing(file.string(), Bytes("new")));
    EXPECT_EQ(Read(file), "saved");
}

// A rename that fails (a folder stands at the save's name) reports the
// failure, leaves what stands there as it was and no temporary file.
TEST_F(SafeFileTest, AFailedRenameKeepsWhatStandsThereAndLeavesNoTemporary)
{
    fs::path const file = dir / "game.sav";
    fs::create_directory(file);
    std::ofstream(file / "inside") << "kept";
    EXPECT_FALSE(WriteFileReplacing(file.string(), Bytes("new")));
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(Read(file / "inside"), "kept");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "game.sav.tmp")));
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

// Before a save replaces a file found unusable: the file goes aside, or
// nothing was there; when it can be neither moved nor shown to be gone, the
// caller is told not to write over it.
TEST_F(SafeFileTest, AnUnusableFileIsKeptAsideBeforeItIsReplaced)
{
    fs::path const file = dir / "game.sav";
    std::string keptAs = "stale";

    EXPECT_TRUE(KeepAsDamagedBeforeReplacing(file.string(), keptAs)) << "nothing there";
    EXPECT_EQ(keptAs, "");

    std::ofstream(file) << "unusable";
    EXPECT_TRUE(KeepAsDamagedBeforeReplacing(file.string(), keptAs));
    EXPECT_EQ(keptAs, file.string() + ".damaged");
    EXPECT_EQ(Read(keptAs), "unusable");
    EXPECT_FALSE(fs::exists(file));

    // Every name it could go to is taken: it stays where it is.
    for (int n = 1; n < 1000; ++n)
        std::ofstream(file.string() + ".damaged." + std::to_string(n)) << "older";
    std::ofstream(file) << "unusable too";
    EXPECT_FALSE(KeepAsDamagedBeforeReplacing(file.string(), keptAs));
    EXPECT_EQ(keptAs, "");
    EXPECT_EQ(Read(file), "unusable too");
    EXPECT_EQ(Read(file.string() + ".damaged"), "unusable");
    EXPECT_EQ(Read(file.string() + ".damaged.999"), "older");

    // A path that cannot even be looked at (its folder is a file) is not
    // taken for an empty place.
    std::ofstream(dir / "plain") << "a file";
    EXPECT_FALSE(KeepAsDamagedBeforeReplacing((dir / "plain" / "game.sav").string(), keptAs));
    EXPECT_EQ(keptAs, "");
}

} // namespace
