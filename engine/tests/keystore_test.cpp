// The file-backed key store: values, keys, two processes, killed writers and
// damaged files.
#include "common/zorvan/SafeFile.h"
#include "platform/keystore/KeyStore.h"
#include "platform/keystore/KeyStoreFormat.h"

#include "common/zorvan/ByteStream.h"
#include "common/zorvan/Console.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

namespace ZorvanEngine::Test {

using Platform::KeyStore;
using Platform::KeyValue;
using Platform::ValueType;

namespace {

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/quintar-keystore-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

std::vector<uint8_t> ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t DWordOf(const std::optional<KeyValue> &v)
{
    if (!v || v->type != ValueType::DWord || v->data.size() != 4)
        return 0xDEADDEAD;
    return Zorvan::ByteReader(v->data).u32();
}

bool SetDWord(KeyStore &store, std::string_view key, std::string_view name, uint32_t value)
{
    Zorvan::ByteWriter w;
    w.u32(value);
    return store.SetValue(key, name, ValueType::DWord, w.bytes().data(), 4);
}

bool SetText(KeyStore &store, std::string_view key, std::string_view name, const std::string &text)
{
    return store.SetValue(key, name, ValueType::String, text.data(), text.size());
}

class KeyStoreTest : public ::testing::Test {
protected:
    std::string File() const { return folder.path() + "/keystore.dat"; }
    TempFolder folder;
};

TEST_F(KeyStoreTest, TypedValuesSurviveInTheFile)
{
    {
        KeyStore store(File());
        ASSERT_EQ(store.OpenKey("Software\\Quintar", true), KeyStore::OpenResult::Created);
        EXPECT_EQ(store.OpenKey("Software/Quintar", true), KeyStore::OpenResult::Opened);
        EXPECT_TRUE(SetDWord(store, "Software/Quintar", "Volume", 80));
        EXPECT_TRUE(SetText(store, "Software/Quintar", "SaveRoot", "/home/ü/Saved Game Files"));
        const uint8_t blob[] = {0, 1, 0xFF, 0x1A, 0};
        EXPECT_TRUE(store.SetValue("Software/Quintar", "Blob", ValueType::Binary, blob, sizeof blob));
        EXPECT_TRUE(store.SetValue("Software/Quintar", "Empty", ValueType::Binary, nullptr, 0));
    }
    // A new store reads only what reached the file.
    KeyStore again(File());
    EXPECT_EQ(DWordOf(again.GetValue("/Software//Quintar/", "volume")), 80u);
    auto text = again.GetValue("Software/Quintar", "SaveRoot");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->type, ValueType::String);
    EXPECT_EQ(std::string(text->data.begin(), text->data.end()), "/home/ü/Saved Game Files");
    auto blob = again.GetValue("SOFTWARE/quintar", "Blob");
    ASSERT_TRUE(blob);
    EXPECT_EQ(blob->type, ValueType::Binary);
    EXPECT_EQ(blob->data, (std::vector<uint8_t>{0, 1, 0xFF, 0x1A, 0}));
    EXPECT_TRUE(again.GetValue("Software/Quintar", "Empty"));
    EXPECT_FALSE(again.GetValue("Software/Quintar", "Missing"));
    // Names keep the case they were written with.
    EXPECT_EQ(again.SubkeyNames("Software"), std::vector<std::string>{"Quintar"});
    EXPECT_EQ(again.ValueNames("Software/Quintar"),
              (std::vector<std::string>{"Blob", "Empty", "SaveRoot", "Volume"}));
}

TEST_F(KeyStoreTest, RefusedOperationsChangeNothing)
{
    KeyStore store(File());
    EXPECT_EQ(store.OpenKey("Software/Missing", false), KeyStore::OpenResult::Failed);
    EXPECT_EQ(store.OpenKey("", false), KeyStore::OpenResult::Opened);
    EXPECT_FALSE(SetDWord(store, "Software/Missing", "x", 1));
    EXPECT_FALSE(store.SetValue("", "short", ValueType::DWord, "abc", 3));
    EXPECT_FALSE(store.DeleteValue("", "absent"));
    EXPECT_FALSE(store.DeleteKey(""));
    EXPECT_FALSE(store.DeleteKey("Software/Missing"));
    // Names the file could not hold are refused rather than written.
    EXPECT_EQ(store.OpenKey("Software/Bad\xFF", true), KeyStore::OpenResult::Failed);
    EXPECT_EQ(store.OpenKey("", false), KeyStore::OpenResult::Opened);
    EXPECT_FALSE(SetDWord(store, "", "a/b", 1));
    EXPECT_FALSE(SetDWord(store, "", "a\\b", 1));
    EXPECT_FALSE(SetDWord(store, "", "\xC3(", 1));
    EXPECT_FALSE(store.KeyExists("Software"));
    // Nothing was ever written, so there is no file either.
    struct stat st;
    EXPECT_NE(stat(File().c_str(), &st), 0);
}

TEST_F(KeyStoreTest, DeleteKeyTakesEverythingBelow)
{
    KeyStore store(File());
    for (const char *key : {"A/B/C/D", "A/B/E", "A/F", "G"})
        ASSERT_EQ(store.OpenKey(key, true), KeyStore::OpenResult::Created) << key;
    ASSERT_TRUE(SetDWord(store, "A/B/C/D", "deep", 1));
    ASSERT_TRUE(SetDWord(store, "A", "top", 2));
    EXPECT_TRUE(store.DeleteKey("a/b"));
    KeyStore again(File());
    EXPECT_FALSE(again.KeyExists("A/B/C/D"));
    EXPECT_FALSE(again.KeyExists("A/B"));
    EXPECT_TRUE(again.KeyExists("A/F"));
    EXPECT_TRUE(again.KeyExists("G"));
    EXPECT_EQ(DWordOf(again.GetValue("A", "top")), 2u);
}

TEST_F(KeyStoreTest, ConfigFolderChoice)
{
    struct Case {
        const char *quintarDir, *xdg, *home, *expected;
    } cases[] = {
        {"/tmp/q-config", "/x/config", "/h", "/tmp/q-config"},
        {nullptr, "/x/config", "/h", "/x/config/Quintar"},
        {"", "/x/config", "/h", "/x/config/Quintar"},
        {nullptr, "relative", "/h", "/h/.config/Quintar"},
        {nullptr, nullptr, "/h", "/h/.config/Quintar"},
    };
    QuintarTest::ScopedEnvironment environment;
    // A null entry in the table stands for a variable that is not set at all.
    auto put = [&environment](const char *name, const char *value) {
        if (value)
            environment.Set(name, value);
        else
            environment.Unset(name);
    };
    for (const auto &c : cases) {
        put("QUINTAR_CONFIG_DIR", c.quintarDir);
        put("XDG_CONFIG_HOME", c.xdg);
        put("HOME", c.home);
        EXPECT_EQ(KeyStore::ConfigFolder(), c.expected);
    }
    environment.Set("QUINTAR_CONFIG_DIR", folder.path());
    EXPECT_EQ(KeyStore::User().FilePath(), File());
    environment.Restore();
}

// Runs body in a child process and returns its exit status.
template <class Body> int InChild(Body body)
{
    pid_t pid = fork();
    if (pid == 0) {
        int code = 1;
        try {
            code = body();
        } catch (...) {
        }
        _exit(code);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST_F(KeyStoreTest, ProcessesSeeEachOthersWrites)
{
    KeyStore store(File());
    ASSERT_EQ(store.OpenKey("Software/Quintar", true), KeyStore::OpenResult::Created);
    ASSERT_TRUE(SetDWord(store, "Software/Quintar", "Parent", 1));
    EXPECT_EQ(DWordOf(store.GetValue("Software/Quintar", "Parent")), 1u);

    ASSERT_EQ(InChild([&] {
                  KeyStore child(File());
                  bool ok = child.OpenKey("Software/Quintar/Module", true) == KeyStore::OpenResult::Created &&
                            SetDWord(child, "Software/Quintar", "Child", 2) &&
                            SetDWord(child, "Software/Quintar", "Parent", 3);
                  return ok ? 0 : 1;
              }),
              0);

    // The parent's copy was read before the child wrote.
    EXPECT_EQ(DWordOf(store.GetValue("Software/Quintar", "Child")), 2u);
    EXPECT_EQ(DWordOf(store.GetValue("Software/Quintar", "Parent")), 3u);
    EXPECT_TRUE(store.KeyExists("Software/Quintar/Module"));
    // A change in the parent keeps what the child wrote.
    ASSERT_TRUE(SetDWord(store, "Software/Quintar", "Later", 4));
    KeyStore fresh(File());
    EXPECT_EQ(DWordOf(fresh.GetValue("Software/Quintar", "Child")), 2u);
    EXPECT_EQ(DWordOf(fresh.GetValue("Software/Quintar", "Later")), 4u);

    // So does a batch of changes, which reaches the file when it ends.
    ASSERT_EQ(InChild([&] { return SetDWord(fresh, "Software/Quintar", "Child", 5) ? 0 : 1; }), 0);
    {
        KeyStore::Batch batch(store);
        ASSERT_TRUE(SetDWord(store, "Software/Quintar", "B1", 6));
        ASSERT_TRUE(SetDWord(store, "Software/Quintar", "B2", 7));
        EXPECT_EQ(DWordOf(store.GetValue("Software/Quintar", "B1")), 6u);
        EXPECT_FALSE(KeyStore(File()).GetValue("Software/Quintar", "B1"));
    }
    KeyStore after(File());
    EXPECT_EQ(DWordOf(after.GetValue("Software/Quintar", "Child")), 5u);
    EXPECT_EQ(DWordOf(after.GetValue("Software/Quintar", "B1")), 6u);
    EXPECT_EQ(DWordOf(after.GetValue("Software/Quintar", "B2")), 7u);
}

TEST_F(KeyStoreTest, ConcurrentWritersLoseNothing)
{
    constexpr int PerProcess = 40;
    {
        KeyStore store(File());
        ASSERT_EQ(store.OpenKey("K", true), KeyStore::OpenResult::Created);
    }
    std::vector<pid_t> children;
    for (int p = 0; p < 3; ++p) {
        pid_t pid = fork();
        if (pid == 0) {
            KeyStore own(File());
            for (int i = 0; i < PerProcess; ++i)
                if (!SetDWord(own, "K", "p" + std::to_string(p) + "-" + std::to_string(i), uint32_t(i)))
                    _exit(1);
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    KeyStore store(File());
    EXPECT_EQ(store.ValueNames("K").size(), size_t(3 * PerProcess));
}

// What a writer stores in round n: a blob whose length and bytes follow n.
std::vector<uint8_t> BlobFor(uint32_t n)
{
    Zorvan::ByteWriter w;
    w.u32(n);
    w.bytes().resize(4 + (n * 131u) % 20000u, uint8_t(n));
    return std::move(w.bytes());
}

TEST_F(KeyStoreTest, KilledWriterLeavesOldOrNewContent)
{
    std::mt19937 random(12345);
    uint32_t next = 0;
    uint32_t lastSeen = 0;
    for (int round = 0; round < 20; ++round) {
        // The child tells when its first save is done, so that every round
        // kills a writer that is under way however loaded the machine is.
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        pid_t pid = fork();
        if (pid == 0) {
            close(started[0]);
            KeyStore own(File());
            own.OpenKey("Software/Quintar", true);
            for (uint32_t n = next;; ++n) {
                auto blob = BlobFor(n);
                own.SetValue("Software/Quintar", "Blob", ValueType::Binary, blob.data(), blob.size());
                if (n == next) {
                    char one = 1;
                    (void)!write(started[1], &one, 1);
                    close(started[1]);
                }
            }
        }
        close(started[1]);
        char one = 0;
        pollfd wait{started[0], POLLIN, 0};
        ASSERT_EQ(poll(&wait, 1, 30000), 1) << "the writer never saved";
        ASSERT_EQ(read(started[0], &one, 1), 1);
        close(started[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
        kill(pid, SIGKILL);
        int status;
        waitpid(pid, &status, 0);

        auto image = ReadFile(File());
        if (image.empty())
            continue;  // killed before its first rename
        Platform::KeyNode root;
        std::string error;
        ASSERT_TRUE(Platform::DecodeKeyStore(image, root, error)) << "round " << round << ": " << error;
        KeyStore reader(File());
        auto blob = reader.GetValue("Software/Quintar", "Blob");
        if (!blob)
            continue;
        uint32_t n = Zorvan::ByteReader(blob->data).u32();
        EXPECT_EQ(blob->data, BlobFor(n)) << "round " << round;
        EXPECT_GE(n, lastSeen);
        lastSeen = n;
        next = n + 1;
    }
    EXPECT_GT(next, 20u) << "the writers hardly wrote; the kills proved little";
}

// A file image around the given body, with a correct checksum, so that the
// body's own checks are what a damaged case meets.
std::vector<uint8_t> ImageOf(const std::vector<uint8_t> &body)
{
    Zorvan::ByteWriter w;
    w.raw("QKS\x1A", 4);
    w.u32(1);
    w.u32(uint32_t(body.size()));
    w.raw(body.data(), body.size());
    w.u32(uint32_t(crc32(crc32(0, Z_NULL, 0), body.data(), uInt(body.size()))));
    return std::move(w.bytes());
}

std::vector<uint8_t> NestedBody(int depth)
{
    Zorvan::ByteWriter w;
    for (int i = 0; i < depth; ++i) {
        w.u32(0);  // values
        w.u32(1);  // one subkey
        w.u32(1);
        w.u8('k');
    }
    w.u32(0);
    w.u32(0);
    return std::move(w.bytes());
}

std::vector<uint8_t> OneValueBody(uint32_t nameLength, const char *name, uint32_t type, uint32_t size,
                                  size_t actualBytes, uint32_t valueCount = 1)
{
    Zorvan::ByteWriter w;
    w.u32(valueCount);
    w.u32(nameLength);
    w.raw(name, std::strlen(name));
    w.u32(type);
    w.u32(size);
    w.zeros(actualBytes);
    w.u32(0);
    return std::move(w.bytes());
}

// A root holding one empty subkey of the given name.
std::vector<uint8_t> OneKeyBody(std::string_view name)
{
    Zorvan::ByteWriter w;
    w.u32(0);
    w.u32(1);
    w.u32(uint32_t(name.size()));
    w.raw(name.data(), name.size());
    w.u32(0);
    w.u32(0);
    return std::move(w.bytes());
}

std::vector<uint8_t> GoodImage()
{
    Platform::KeyNode root;
    root.FindOrCreate({"Software", "Quintar"}, nullptr)->values["Volume"] = {ValueType::DWord, {80, 0, 0, 0}};
    return Platform::EncodeKeyStore(root);
}

TEST_F(KeyStoreTest, DamagedFileIsReportedOnceAndTreatedAsEmpty)
{
    auto flipped = GoodImage();
    flipped[20] ^= 0x40;
    auto badVersion = GoodImage();
    badVersion[4] = 9;
    auto truncated = GoodImage();
    truncated.erase(truncated.end() - 3, truncated.end());
    auto longer = GoodImage();
    longer.push_back(0);
    std::vector<uint8_t> twice = OneValueBody(1, "a", 4, 4, 4, 2);
    {
        Zorvan::ByteWriter w;
        w.u32(1);
        w.raw("a", 1);
        w.u32(4);
        w.u32(4);
        w.zeros(4);
        twice.insert(twice.end() - 4, w.bytes().begin(), w.bytes().end());
    }
    std::vector<uint8_t> random(300);
    std::mt19937 gen(7);
    for (auto &b : random)
        b = uint8_t(gen());

    struct Case {
        const char *name;
        std::vector<uint8_t> image;
    } cases[] = {
        {"empty file", {}},
        {"random bytes", random},
        {"flipped body byte", flipped},
        {"unknown version", badVersion},
        {"truncated", truncated},
        {"extra byte", longer},
        {"value size beyond the end", ImageOf(OneValueBody(1, "a", 3, 0xFFFFFFF0u, 8))},
        {"name length beyond the end", ImageOf(OneValueBody(0x7FFFFFFF, "a", 3, 0, 0))},
        {"huge value count", ImageOf(OneValueBody(1, "a", 3, 0, 0, 0xFFFFFFFFu))},
        {"unknown type", ImageOf(OneValueBody(1, "a", 77, 0, 0))},
        {"short DWORD", ImageOf(OneValueBody(1, "a", 4, 3, 3))},
        {"same name twice", ImageOf(twice)},
        {"nested too deeply", ImageOf(NestedBody(100000))},
        {"key name with a slash", ImageOf(OneKeyBody("Soft/ware"))},
        {"key name with a backslash", ImageOf(OneKeyBody("Soft\\ware"))},
        {"key name not UTF-8", ImageOf(OneKeyBody("Soft\xFFware"))},
        {"value name with a slash", ImageOf(OneValueBody(3, "a/b", 3, 0, 0))},
        {"value name not UTF-8", ImageOf(OneValueBody(2, "\xC3(", 3, 0, 0))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(File(), c.image);
        Zorvan::clearConsole();
        KeyStore store(File());
        EXPECT_FALSE(store.KeyExists("Software/Quintar"));
        EXPECT_FALSE(store.GetValue("Software/Quintar", "Volume"));
        EXPECT_EQ(store.OpenKey("Software", false), KeyStore::OpenResult::Failed);
        EXPECT_TRUE(store.ValueNames("").empty());
        std::string console = Zorvan::getConsole();
        EXPECT_NE(console.find(File()), std::string::npos) << console;
        EXPECT_EQ(std::count(console.begin(), console.end(), '\n'), 1) << console;

        // The first change writes a sound file and keeps the damaged one.
        ASSERT_EQ(store.OpenKey("Software/Quintar", true), KeyStore::OpenResult::Created);
        ASSERT_TRUE(SetDWord(store, "Software/Quintar", "Volume", 50));
        EXPECT_EQ(ReadFile(File() + ".damaged"), c.image);
        KeyStore again(File());
        EXPECT_EQ(DWordOf(again.GetValue("Software/Quintar", "Volume")), 50u);
        EXPECT_EQ(std::count(Zorvan::getConsole(), Zorvan::getConsole() + std::strlen(Zorvan::getConsole()), '\n'), 1);
    }
    // The sound image itself passes, so the cases fail for their own reason.
    WriteFile(File(), GoodImage());
    KeyStore good(File());
    EXPECT_EQ(DWordOf(good.GetValue("Software/Quintar", "Volume")), 80u);
}

TEST_F(KeyStoreTest, FailedSaveKeepsTheOldFileAndForgetsTheChange)
{
    KeyStore store(File());
    ASSERT_EQ(store.OpenKey("K", true), KeyStore::OpenResult::Created);
    ASSERT_TRUE(SetDWord(store, "K", "V", 1));
    const auto saved = ReadFile(File());

    // The temporary file cannot be made: a folder stands in its place.
    std::vector<std::string> blockers;
    for (unsigned ahead = 0; ahead < 4; ++ahead)
        blockers.push_back(Zorvan::NextTemporaryNameOf(File(), ahead));
    for (const std::string &blocker : blockers)
        ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    EXPECT_FALSE(SetDWord(store, "K", "V", 2));
    EXPECT_EQ(DWordOf(store.GetValue("K", "V")), 1u);
    {
        KeyStore::Batch batch(store);
        EXPECT_TRUE(SetDWord(store, "K", "V", 3));
    }
    EXPECT_EQ(DWordOf(store.GetValue("K", "V")), 1u);
    EXPECT_EQ(ReadFile(File()), saved);
    for (const std::string &blocker : blockers)
        ASSERT_EQ(rmdir(blocker.c_str()), 0);

    // The disk fills up halfway through the temporary file.
    ASSERT_EQ(InChild([&] {
                  std::signal(SIGXFSZ, SIG_IGN);
                  rlimit limit{saved.size() + 100, saved.size() + 100};
                  if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                      return 2;
                  KeyStore own(File());
                  std::vector<uint8_t> big(64 * 1024, 0x5A);
                  if (own.SetValue("K", "Big", ValueType::Binary, big.data(), big.size()))
                      return 3;
                  return own.GetValue("K", "Big") ? 4 : 0;
              }),
              0);
    EXPECT_EQ(ReadFile(File()), saved);
    const std::string folder = Zorvan::FolderOfPath(File());
    EXPECT_EQ(Zorvan::RemoveLeftTemporaries(folder), 0u) << "the partial file is left behind";

    EXPECT_TRUE(SetDWord(store, "K", "V", 4));
    EXPECT_EQ(DWordOf(KeyStore(File()).GetValue("K", "V")), 4u);
}

TEST_F(KeyStoreTest, FirstChangeMakesTheMissingFolders)
{
    const std::string nested = folder.path() + "/config/Quintar/keystore.dat";
    KeyStore store(nested);
    ASSERT_EQ(store.OpenKey("K", true), KeyStore::OpenResult::Created);
    EXPECT_TRUE(KeyStore(nested).KeyExists("K"));

    // A file where a folder should be: nothing can be saved.
    WriteFile(folder.path() + "/plain", {1});
    KeyStore blocked(folder.path() + "/plain/Quintar/keystore.dat");
    EXPECT_EQ(blocked.OpenKey("K", true), KeyStore::OpenResult::Failed);
}

TEST_F(KeyStoreTest, UnreadablePathIsEmptyAndRefusesWrites)
{
    ASSERT_EQ(mkdir(File().c_str(), 0700), 0);  // a folder where the file should be
    KeyStore store(File());
    EXPECT_FALSE(store.KeyExists("Software"));
    EXPECT_NE(store.OpenKey("Software", true), KeyStore::OpenResult::Created);
    EXPECT_FALSE(store.KeyExists("Software"));
}

}  // namespace

} // namespace ZorvanEngine::Test
