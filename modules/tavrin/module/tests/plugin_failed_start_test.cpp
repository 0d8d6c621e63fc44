// Opening images that cannot run, through the real plug-in, while the save
// folder holds the battery file and a state of a game of the same name:
// each start fails with its reason in the console, the module shows no
// message of its own (the front end shows the one), and every file of the
// save folder stays byte for byte, also after the engine closes. The
// handheld's gzip names reach the plug-in and open.
#include "modules/tavrin/testing/TestImage.h"
#include "modules/tavrin/module/tests/PluginSandbox.h"
#include "tools/testsupport/TestZip.h"

#include <zlib.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>

namespace Tavrin::Test {
namespace {

std::string Bytes(fs::path const &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::string> FolderBytes(fs::path const &folder)
{
    std::map<std::string, std::string> files;
    for (auto const &entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = Bytes(entry.path());
    return files;
}

std::string Gzip(std::vector<uint8_t> const &raw)
{
    uLongf size = compressBound(uLong(raw.size())) + 64;
    std::string out(size, '\0');
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    z.next_in = const_cast<Bytef *>(raw.data());
    z.avail_in = uInt(raw.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Text(std::vector<uint8_t> const &bytes) { return std::string(bytes.begin(), bytes.end()); }

// Bytes that deflate cannot shrink, so damage in the middle of a compressed
// stream lands in its data.
std::vector<uint8_t> Noise(size_t size)
{
    std::vector<uint8_t> bytes(size);
    uint32_t x = 0x2545F491;
    for (uint8_t &b : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = uint8_t(x);
    }
    return bytes;
}

class TavrinFailedStartTest : public TavrinModuleTest {
protected:
    // The save folder with a battery file and a state for "game" and for
    // "game.gba" (the base name of a ".gba.gz" image); its bytes.
    std::map<std::string, std::string> FillSaveFolder()
    {
        fs::path const good = Image("good/game.gba", Tavrin::SpinningImage(0x4000));
        EXPECT_TRUE(engine->RunFile(Wide(good)));
        saveFolder = fs::path(Narrow(Active().GetSaveName())).parent_path();
        engine->Shutdown();
        for (std::string const base : {"game", "game.gba"}) {
            WriteFile(saveFolder / (base + ".save"), Gzip({'S', 'A', 'V', 0x1A, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                           0x42, 0x43}));
            WriteFile(saveFolder / (base + "-1.state"), "a state the player made");
        }
        return FolderBytes(saveFolder);
    }

    fs::path saveFolder;
};

TEST_F(TavrinFailedStartTest, AnImageThatCannotRunLeavesTheSaveFolderAsItWas)
{
    StoreRunSettings(false);
    std::map<std::string, std::string> const before = FillSaveFolder();

    std::vector<uint8_t> const game = Noise(0x8000);
    std::string damagedGzip = Gzip(game);
    for (size_t i = damagedGzip.size() / 2; i < damagedGzip.size() / 2 + 32; ++i)
        damagedGzip[i] = char(damagedGzip[i] ^ 0x5A);
    // A zip whose member list reads but whose data does not.
    fs::path const damagedZip = root / "cases/zip/game.zip";
    WriteZip(damagedZip, {{"game.gba", Text(game)}});
    std::string zipBytes = Bytes(damagedZip);
    for (size_t i = 0x1000; i < 0x1040; ++i)
        zipBytes[i] = char(zipBytes[i] ^ 0x5A);

    struct Case {
        char const *what;
        std::string name;
        std::function<void(fs::path const &)> make;
        char const *reason;
    } const cases[] = {
        {"empty", "game.gba", [](fs::path const &p) { WriteFile(p, ""); }, "too small"},
        {"one byte", "game.gba", [](fs::path const &p) { WriteFile(p, "\x2E"); }, "too small"},
        {"a header alone", "game.gba", [&](fs::path const &p) { WriteFile(p, Text(game).substr(0, 192)); },
         "too small"},
        {"over 32 MB", "game.gba", [](fs::path const &p) { WriteFile(p, std::string(32 * 1024 * 1024 + 1, 'x')); },
         "The image is larger than 32 MB"},
        // The engine turns a folder away before the module is asked.
        {"a folder", "game.gba", [](fs::path const &p) { fs::create_directories(p); }, "The path names a folder"},
        {"a damaged gzip", "game.gba.gz", [&](fs::path const &p) { WriteFile(p, damagedGzip); }, "damaged"},
        {"a damaged zip", "game.zip", [&](fs::path const &p) { WriteFile(p, zipBytes); }, "damaged"},
    };
    int n = 0;
    for (Case const &c : cases) {
        fs::path const image = root / "cases" / std::to_string(n++) / c.name;
        fs::create_directories(image.parent_path());
        c.make(image);
        messages.clear();
        Zorvan::clearConsole();
        EXPECT_FALSE(engine->RunFile(Wide(image))) << c.what;
        engine->Shutdown();
        EXPECT_THAT(Console(), testing::HasSubstr(c.reason)) << c.what;
        EXPECT_TRUE(messages.empty()) << c.what << ": " << (messages.empty() ? "" : messages[0]);
        EXPECT_EQ(FolderBytes(saveFolder), before) << c.what;
    }
}

TEST_F(TavrinFailedStartTest, GzipNamesReachThePluginAndRun)
{
    StoreRunSettings(false);
    std::string const gz = Gzip(Tavrin::SpinningImage(0x4000));
    for (char const *name : {"game.gba.gz", "game.agb.gz", "game.gz", "GAME.GBA.GZ"}) {
        fs::path const image = root / "gz" / name;
        WriteFile(image, gz);
        EXPECT_TRUE(engine->RunFile(Wide(image))) << name;
        EXPECT_EQ(words->Read16(0x08000002), 0xEAFFu) << name;
        engine->Shutdown();
    }
}

} // namespace
} // namespace Tavrin::Test
