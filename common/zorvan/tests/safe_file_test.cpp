// Whole-file writes that never lose the old file, bounded whole-file reads,
// and damaged files kept aside without replacing an older one.
#include "common/zorvan/SafeFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Zorvan::Test {
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
    // Names in the folder that end in ".tmp": what a write left behind.
    std::vector<std::string> Temporaries() const
    {
        std::vector<std::string> left;
        for (auto const &entry : fs::directory_iterator(dir))
            if (entry.path().extension() == ".tmp")
                left.push_back(entry.path().filename().string());
        return left;
    }
};

// A process id that names no running program: a child that has exited.
pid_t GonePid()
{
    pid_t const child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST_F(SafeFileTest, ReplacesWholeOrKeepsTheOldFile)
{
    fs::path const file = dir / "game.sav";
    ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("old contents")));
    ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("new")));
    EXPECT_EQ(Read(file), "new");
    EXPECT_TRUE(Temporaries().empty());

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
    EXPECT_TRUE(Temporaries().empty());
}

// What a killed writer leaves at its temporary name: a part-written file, a
// read-only one, or a link someone put there. Start-up clears those of
// programs no longer running (never following a link) and leaves a running
// program's write, a folder and every other name alone. Each write makes a
// name of its own: something standing in its way fails that write only.
TEST_F(SafeFileTest, TemporaryFilesLeftBehindAreClearedOnlyWhenTheirWriterIsGone)
{
    fs::path const file = dir / "game.sav", outside = dir / "outside";
    std::ofstream(outside) << "not to be touched";
    std::string const gone = "game.sav." + std::to_string(GonePid()) + "-";
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
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::path const temp = dir / (gone + std::to_string(n++) + ".tmp");
        c.leave(temp, outside);
        ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("saved")));
        EXPECT_EQ(Read(file), "saved");
        EXPECT_FALSE(fs::is_symlink(file));
        EXPECT_EQ(RemoveLeftTemporaries(dir.string()), 1u);
        EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));
        EXPECT_EQ(Read(outside), "not to be touched");
    }
    std::vector<std::string> const stay = {"game.sav." + std::to_string(getppid()) + "-4.tmp", "game.sav.tmp",
                                           "notes.tmp", "game.sav.x-1.tmp"};
    for (std::string const &name : stay)
        std::ofstream(dir / name) << "not ours to clear";
    fs::create_directory(dir / (gone + "9.tmp"));
    EXPECT_EQ(RemoveLeftTemporaries(dir.string()), 0u);
    for (std::string const &name : stay)
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_TRUE(fs::is_directory(dir / (gone + "9.tmp")));

    // Something at the name the next write would use fails that write; the
    // one after has a name of its own.
    fs::create_directory(NextTemporaryNameOf(file.string()));
    EXPECT_FALSE(WriteFileReplacing(file.string(), Bytes("new")));
    EXPECT_EQ(Read(file), "saved");
    EXPECT_TRUE(WriteFileReplacing(file.string(), Bytes("newer")));
    EXPECT_EQ(Read(file), "newer");
}

// Two programs saving the same file over and over: each write is whole,
// none reports a failure, and the file is never seen empty or part-written.
TEST_F(SafeFileTest, TwoWritersOfOneFileNeverSpoilEachOther)
{
    fs::path const file = dir / "game-1.state";
    std::string const a(20000, 'a'), b(20000, 'b');
    ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes(a)));
    pid_t const other = fork();
    if (other == 0) {
        for (int i = 0; i < 200; ++i)
            if (!WriteFileReplacing(file.string(), Bytes(b)))
                _exit(1);
        _exit(0);
    }
    int failures = 0, spoilt = 0;
    for (int i = 0; i < 200; ++i) {
        failures += !WriteFileReplacing(file.string(), Bytes(a));
        std::string const seen = Read(file);
        spoilt += seen != a && seen != b;
    }
    int status = 0;
    waitpid(other, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other writer saw a failure";
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(spoilt, 0);
    EXPECT_TRUE(Temporaries().empty());
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
    EXPECT_TRUE(Temporaries().empty());
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

// A file kept under a second name stays at its own: the write that replaces
// it may still fail. Older kept files are never replaced.
TEST_F(SafeFileTest, DamagedFilesGetASecondNameWithoutReplacingOlderOnes)
{
    fs::path const file = dir / "game.sav";
    std::ofstream(file) << "first";
    EXPECT_EQ(LinkAsDamaged(file.string()), file.string() + ".damaged");
    EXPECT_EQ(Read(file), "first");
    ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("second")));
    EXPECT_EQ(LinkAsDamaged(file.string()), file.string() + ".damaged.1");
    EXPECT_EQ(Read(dir / "game.sav.damaged"), "first");
    EXPECT_EQ(Read(dir / "game.sav.damaged.1"), "second");
    EXPECT_EQ(LinkAsDamaged((dir / "missing").string()), "");
}

// The backup holds the file as it was, replaces an older backup whole, and
// the file itself is not touched.
TEST_F(SafeFileTest, ABackupKeepsTheFileAsItWas)
{
    fs::path const file = dir / "game.sav", backup = dir / "game.sav.bak";
    std::ofstream(backup) << "an older backup";
    std::ofstream(file) << "the save";
    ASSERT_TRUE(KeepBackup(file.string(), backup.string()));
    ASSERT_TRUE(WriteFileReplacing(file.string(), Bytes("the new save")));
    EXPECT_EQ(Read(backup), "the save");
    EXPECT_EQ(Read(file), "the new save");
    EXPECT_FALSE(KeepBackup((dir / "missing").string(), backup.string()));
    EXPECT_EQ(Read(backup), "the save");
    EXPECT_TRUE(Temporaries().empty());
}

// Only regular files are read: a named pipe with no writer is refused at
// once instead of holding the reader for good.
TEST_F(SafeFileTest, APipeIsRefusedWithoutWaiting)
{
    fs::path const pipe = dir / "game.sav";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
    std::vector<uint8_t> out;
    EXPECT_EQ(ReadFileBounded(pipe.string(), 100, out), ReadResult::NotAFile);
}

} // namespace
} // namespace Zorvan::Test
