// What a careless or unlucky user hands the three consoles, run as the
// program runs a game (runrom on the real plug-ins: start, frames, shutdown)
// in a home of its own per case. The console's save folder is compared byte
// for byte (kinds, contents, links and modes) before and after: a save is
// never lost, and the user is told why whatever was refused was refused.
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace RunRom::Test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

fs::path BuildFolder() { return fs::read_symlink("/proc/self/exe").parent_path().parent_path(); }

Bytes Pattern(size_t size, int key)
{
    Bytes bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = char(i * 31 + key * 7 + (i >> 8));
    return bytes;
}

// A Master System cartridge that turns its RAM on and writes `value` to it.
Bytes Z80Writer(uint8_t value)
{
    Bytes rom(0x8000, '\0');
    const uint8_t code[] = {0xF3, 0x3E, 0x08, 0x32, 0xFC, 0xFF, 0x3E, value, 0x32, 0x00, 0x80, 0x76};
    rom.replace(0, sizeof code, reinterpret_cast<const char *>(code), sizeof code);
    return rom;
}

// A 6502 cartridge with battery RAM (mapper `mapper`) that writes `value` to
// $6000 and spins.
Bytes NesWriter(uint8_t value, uint8_t mapper = 0)
{
    Bytes image("NES\x1a\x01\x01", 6);
    image += char(0x02 | (mapper & 0x0F) << 4);
    image += char(mapper & 0xF0);
    image += Bytes(8, '\0');
    Bytes prg(0x4000, '\0');
    const uint8_t code[] = {0xA9, value, 0x8D, 0x00, 0x60, 0x4C, 0x05, 0xC0};
    prg.replace(0, sizeof code, reinterpret_cast<const char *>(code), sizeof code);
    for (int v = 0; v < 3; ++v) {
        prg[0x3FFA + 2 * v] = 0x00;
        prg[0x3FFB + 2 * v] = char(0xC0);
    }
    return image + prg + Bytes(0x2000, '\0');
}

// A handheld cartridge that says it has SRAM and writes `value` to its
// first byte, then spins.
Bytes ArmWriter(uint8_t value)
{
    Bytes rom(0x8000, '\0');
    auto word = [&](size_t at, uint32_t w) {
        for (int i = 0; i < 4; ++i)
            rom[at + i] = char(w >> (8 * i));
    };
    word(0x00, 0xEA00002E);             // b 0xC0
    word(0xC0, 0xE3A0040E);             // mov r0, #0x0E000000
    word(0xC4, 0xE3A01000 | value);     // mov r1, #value
    word(0xC8, 0xE5C01000);             // strb r1, [r0]
    word(0xCC, 0xEAFFFFFE);             // b .
    rom.replace(0x200, 9, "SRAM_V113");
    return rom;
}

// The handheld's battery file for SRAM whose first byte is `value`.
Bytes ArmSave(uint8_t value)
{
    Bytes file("SAV\x1a\x01", 5);
    file += char(1); // two bytes of SRAM
    file += Bytes(10, '\0');
    file += char(value);
    file += '\0';
    uLongf size = compressBound(uLong(file.size())) + 32;
    Bytes gz(size, '\0');
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef *>(file.data());
    z.avail_in = uInt(file.size());
    z.next_out = reinterpret_cast<Bytef *>(gz.data());
    z.avail_out = uInt(gz.size());
    deflate(&z, Z_FINISH);
    gz.resize(z.total_out);
    deflateEnd(&z);
    return gz;
}

// A zip archive of one stored member of `size` zero bytes.
Bytes ZipOf(const std::string &name, size_t size)
{
    // Stored members need their CRC: of zeros it is computed here.
    uLong crc = crc32(0, nullptr, 0);
    const Bytes zeros(1 << 16, '\0');
    for (size_t left = size; left > 0;) {
        const size_t n = std::min(left, zeros.size());
        crc = crc32(crc, reinterpret_cast<const Bytef *>(zeros.data()), uInt(n));
        left -= n;
    }
    auto u16 = [](uint32_t v) { return Bytes{char(v), char(v >> 8)}; };
    auto u32 = [](uint32_t v) { return Bytes{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    Bytes local = "PK\x03\x04" + u16(10) + u16(0) + u16(0) + u16(0) + u16(0) + u32(uint32_t(crc)) +
                  u32(uint32_t(size)) + u32(uint32_t(size)) + u16(uint16_t(name.size())) + u16(0) + name;
    Bytes central = "PK\x01\x02" + u16(20) + u16(10) + u16(0) + u16(0) + u16(0) + u16(0) + u32(uint32_t(crc)) +
                    u32(uint32_t(size)) + u32(uint32_t(size)) + u16(uint16_t(name.size())) + u16(0) + u16(0) +
                    u16(0) + u16(0) + u32(0) + u32(0) + name;
    const size_t centralAt = local.size() + size;
    Bytes end = "PK\x05\x06" + u16(0) + u16(0) + u16(1) + u16(1) + u32(uint32_t(central.size())) +
                u32(uint32_t(centralAt)) + u16(0);
    return local + Bytes(size, '\0') + central + end;
}

struct Console {
    const char *folder;    // the console's save folder under the home
    const char *extension; // of its images
    Bytes (*writer)(uint8_t value);
    Bytes (*save)(uint8_t value); // a save of the writer's game holding value
};

Bytes Z80Save(uint8_t value) { return Bytes(1, char(value)) + Pattern(0x3FFF, value); }
Bytes NesSave(uint8_t value) { return Bytes(1, char(value)) + Pattern(0x1FFF, value); }
Bytes NesWriterDefault(uint8_t value) { return NesWriter(value); }

const Console kZ80{"Belcrest (SMS-GG)", ".sms", Z80Writer, Z80Save};
const Console kNes{"Cindrel (NES)", ".nes", NesWriterDefault, NesSave};
const Console kArm{"Tavrin (GameBoy Advance)", ".gba", ArmWriter, ArmSave};

// One entry of a folder as compared: what stands there and what it holds.
struct Entry {
    char kind; // f file, l link, p pipe, d folder
    Bytes content; // file bytes, or where a link points
    unsigned mode;
    bool operator==(const Entry &o) const { return kind == o.kind && content == o.content && mode == o.mode; }
};
using Folder = std::map<std::string, Entry>;

Bytes ReadAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Folder Snapshot(const fs::path &folder)
{
    Folder entries;
    if (!fs::exists(folder))
        return entries;
    for (const auto &item : fs::directory_iterator(folder)) {
        struct stat st;
        if (lstat(item.path().c_str(), &st) != 0)
            continue;
        Entry e{'?', {}, unsigned(st.st_mode & 07777)};
        if (S_ISLNK(st.st_mode)) {
            e.kind = 'l';
            e.content = fs::read_symlink(item.path()).string();
        } else if (S_ISFIFO(st.st_mode)) {
            e.kind = 'p';
        } else if (S_ISDIR(st.st_mode)) {
            e.kind = 'd';
        } else {
            e.kind = 'f';
            e.content = ReadAll(item.path());
        }
        entries[item.path().filename().string()] = e;
    }
    return entries;
}

class SaveFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        root = fs::path(temp.path().toStdString());
    }

    struct Run {
        int status = -1; // -1: did not end in time
        double seconds = 0;
        std::string err;
    };

    // runrom over the real plug-ins with the home of the case.
    Run RunImage(const fs::path &home, const fs::path &image, int frames = 10)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", QString::fromStdString(home.string()));
        process.setProcessEnvironment(environment);
        const auto start = std::chrono::steady_clock::now();
        process.start(QString::fromStdString((BuildFolder() / "bin/runrom").string()),
                      {"--home", QString::fromStdString(home.string()), "--frames", QString::number(frames),
                       QString::fromStdString(image.string())});
        Run run;
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.err = process.readAllStandardError().toStdString();
        return run;
    }

    QTemporaryDir temp;
    fs::path root;
};

void WriteFile(const fs::path &path, const Bytes &bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Each case: a console, what the user left in its save folder and where the
// image lies, what runrom must end with, what the user must be told, and the
// folder the run must leave (from the one it found).
struct Case {
    const char *name;
    const Console *console;
    // Prepares the case's folders; returns the image to run.
    std::function<fs::path(const fs::path &images, const fs::path &saves)> prepare;
    int status;          // runrom's exit status (0 ran, 1 refused)
    const char *told;    // a piece of what the user is told; "" nothing asked
    // The folder after the run, from the folder before it.
    std::function<void(Folder &folder, const fs::path &saves)> expect;
};

Entry File(const Bytes &bytes, unsigned mode = 0644) { return Entry{'f', bytes, mode}; }

const Case kCases[] = {
    // A failed download under a game's name never starts as a game.
    {"1-byte Z80 image", &kZ80,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", Z80Save(0x11));
         WriteFile(images / "game.sms", Bytes(1, '\0'));
         return images / "game.sms";
     },
     1, "too small", [](Folder &, const fs::path &) {}},
    {"text Z80 image", &kZ80,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", Z80Save(0x11));
         WriteFile(images / "game.sms", "<html><body>404 Not Found</body></html>\n");
         return images / "game.sms";
     },
     1, "text, not a game image", [](Folder &, const fs::path &) {}},
    {"text 6502 image", &kNes,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", NesSave(0x11));
         WriteFile(images / "game.nes", "<!DOCTYPE html>\r\n<p>The download failed.</p>\r\n");
         return images / "game.nes";
     },
     1, "text, not a game image", [](Folder &, const fs::path &) {}},
    {"text handheld image", &kArm,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", ArmSave(0x11));
         WriteFile(images / "game.gba", Bytes(300, 'a') + "\n");
         return images / "game.gba";
     },
     1, "text, not a game image", [](Folder &, const fs::path &) {}},
    // A 6502 board without a row runs after its warning; the save it had is
    // kept as ".bak" before the game's replaces it.
    {"6502 mapper without a row", &kNes,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", NesSave(0x11));
         WriteFile(images / "game.nes", NesWriter(0x77, 28));
         return images / "game.nes";
     },
     0, "not supported",
     [](Folder &folder, const fs::path &) {
         folder["game.save.bak"] = folder["game.save"];
         folder["game.save"].content[0] = char(0x77);
     }},
    // Two games of one file name share a save: the first's is kept.
    {"second Z80 game of the same name", &kZ80,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", Z80Save(0x11));
         WriteFile(images / "game.sms", Z80Writer(0x22));
         return images / "game.sms";
     },
     0, "",
     [](Folder &folder, const fs::path &) {
         folder["game.save.bak"] = folder["game.save"];
         folder["game.save"].content[0] = char(0x22);
     }},
    {"second handheld game of the same name", &kArm,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", ArmSave(0x11));
         WriteFile(images / "game.gba", ArmWriter(0x22));
         return images / "game.gba";
     },
     0, "",
     [](Folder &folder, const fs::path &saves) {
         folder["game.save.bak"] = folder["game.save"];
         folder["game.save"] = File(ReadAll(saves / "game.save")); // checked to hold 0x22 below
     }},
    // A pipe never holds the program, and stays as it is.
    {"pipe as the Z80 battery file", &kZ80,
     [](const fs::path &images, const fs::path &saves) {
         mkfifo((saves / "game.save").c_str(), 0644);
         WriteFile(images / "game.sms", Z80Writer(0x22));
         return images / "game.sms";
     },
     0, "is a named pipe", [](Folder &, const fs::path &) {}},
    {"pipe as the 6502 battery file", &kNes,
     [](const fs::path &images, const fs::path &saves) {
         mkfifo((saves / "game.save").c_str(), 0644);
         WriteFile(images / "game.nes", NesWriter(0x22));
         return images / "game.nes";
     },
     0, "is a named pipe", [](Folder &, const fs::path &) {}},
    {"pipe as the 6502 palette file", &kNes,
     [](const fs::path &images, const fs::path &) {
         mkfifo((images / "game.pal").c_str(), 0644);
         WriteFile(images / "game.nes", NesWriter(0x22));
         return images / "game.nes";
     },
     0, "",
     [](Folder &folder, const fs::path &saves) { folder["game.save"] = File(ReadAll(saves / "game.save")); }},
    {"pipe as the handheld battery file", &kArm,
     [](const fs::path &images, const fs::path &saves) {
         mkfifo((saves / "game.save").c_str(), 0644);
         WriteFile(images / "game.gba", ArmWriter(0x22));
         return images / "game.gba";
     },
     0, "is a named pipe", [](Folder &, const fs::path &) {}},
    // A link is written where it points; one to nothing is left alone.
    {"Z80 battery file that is a link", &kZ80,
     [](const fs::path &images, const fs::path &saves) {
         fs::create_directories(saves / "elsewhere");
         WriteFile(saves / "elsewhere" / "real.save", Z80Save(0x11));
         fs::create_symlink("elsewhere/real.save", saves / "game.save");
         WriteFile(images / "game.sms", Z80Writer(0x22));
         return images / "game.sms";
     },
     0, "",
     [](Folder &folder, const fs::path &) {
         // The link stays; its target took the save (checked below), and
         // the save it held is kept beside the link.
         folder["game.save.bak"] = File(Z80Save(0x11));
     }},
    {"6502 battery file that is a link to nothing", &kNes,
     [](const fs::path &images, const fs::path &saves) {
         fs::create_symlink("gone/real.save", saves / "game.save");
         WriteFile(images / "game.nes", NesWriter(0x22));
         return images / "game.nes";
     },
     0, "which does not exist", [](Folder &, const fs::path &) {}},
    // A file the user made read-only is never written over.
    {"read-only Z80 battery file", &kZ80,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", Z80Save(0x11));
         fs::permissions(saves / "game.save", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         WriteFile(images / "game.sms", Z80Writer(0x22));
         return images / "game.sms";
     },
     0, "is read-only", [](Folder &, const fs::path &) {}},
    {"read-only handheld battery file", &kArm,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", ArmSave(0x11));
         fs::permissions(saves / "game.save", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         WriteFile(images / "game.gba", ArmWriter(0x22));
         return images / "game.gba";
     },
     0, "is read-only", [](Folder &, const fs::path &) {}},
    // A file that is no save of this game is told of at the start and moved
    // aside when the game's save replaces it.
    {"6502 battery file of another size", &kNes,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "game.save", Pattern(100, 3));
         WriteFile(images / "game.nes", NesWriter(0x22));
         return images / "game.nes";
     },
     0, "moved aside as",
     [](Folder &folder, const fs::path &saves) {
         folder["game.save.damaged"] = folder["game.save"];
         folder["game.save"] = File(ReadAll(saves / "game.save"));
     }},
    // An image larger than any of the console's is refused, not cut.
    {"6502 zip member past the largest image", &kNes,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "big.save", NesSave(0x11));
         WriteFile(images / "big.zip", ZipOf("big.nes", size_t(120) << 20));
         return images / "big.zip";
     },
     1, "larger than any game image", [](Folder &, const fs::path &) {}},
    {"Z80 zip member past the largest image", &kZ80,
     [](const fs::path &images, const fs::path &saves) {
         WriteFile(saves / "big.save", Z80Save(0x11));
         WriteFile(images / "big.zip", ZipOf("big.sms", size_t(5) << 20));
         return images / "big.zip";
     },
     1, "larger than any game image", [](Folder &, const fs::path &) {}},
};

TEST_F(SaveFolderTest, NoCaseCostsTheUserASave)
{
    ASSERT_TRUE(fs::exists(BuildFolder() / "bin/runrom"));
    int n = 0;
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        const fs::path home = root / std::to_string(n++);
        const fs::path images = home / "images", saves = home / "Documents/Saved Game Files" / c.console->folder;
        fs::create_directories(images);
        fs::create_directories(saves);
        const fs::path image = c.prepare(images, saves);
        Folder expected = Snapshot(saves);
        const Run run = RunImage(home, image);
        ASSERT_NE(run.status, -1) << "the program hung";
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_LT(run.seconds, 10.0);
        if (*c.told) {
            EXPECT_NE(run.err.find(c.told), std::string::npos) << run.err;
        }
        c.expect(expected, saves);
        // Only the run's own saves may be new; nothing else appears.
        Folder after = Snapshot(saves);
        after.erase("elsewhere");
        expected.erase("elsewhere");
        for (const auto &[name, entry] : expected)
            EXPECT_TRUE(after.count(name) && after[name] == entry) << name << " differs or is gone";
        for (const auto &[name, entry] : after)
            EXPECT_TRUE(expected.count(name)) << name << " appeared";
    }
}

// What the checks above leave open: the saves written hold the game's byte,
// and a link's target took the save.
TEST_F(SaveFolderTest, SavesWrittenHoldTheGamesBytes)
{
    const fs::path home = root / "writes", images = home / "images";
    const fs::path saves = home / "Documents/Saved Game Files" / kZ80.folder;
    fs::create_directories(images);
    fs::create_directories(saves / "elsewhere");
    WriteFile(saves / "elsewhere" / "real.save", Z80Save(0x11));
    fs::create_symlink("elsewhere/real.save", saves / "game.save");
    WriteFile(images / "game.sms", Z80Writer(0x22));
    ASSERT_EQ(RunImage(home, images / "game.sms").status, 0);
    EXPECT_TRUE(fs::is_symlink(saves / "game.save"));
    const Bytes saved = ReadAll(saves / "elsewhere" / "real.save");
    ASSERT_EQ(saved.size(), 0x4000u);
    EXPECT_EQ(uint8_t(saved[0]), 0x22);
}

} // namespace
} // namespace RunRom::Test
