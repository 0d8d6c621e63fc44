// Cartridge RAM kept in the battery file: written on close, shown to the
// program at the next start, a page the run did not map kept, a damaged file
// set aside with a message when the game saves, and a file that cannot be
// written reported with the old one kept.
#include "common/zorvan/SafeFile.h"
#include "modules/belcrest/testing/BelcrestSandbox.h"
#include "modules/belcrest/testing/TestImages.h"

#include <unistd.h>

namespace Belcrest::Test {
namespace {

// Maps cartridge RAM page `page` at $8000 ($FFFC = $08, or $0C for page 2)
// and copies its first byte to `seen`.
void MapAndLook(Z80Code &code, int page, uint16_t seen)
{
    code({0x3E, page == 2 ? 0x0C : 0x08}).StoreA(0xFFFC).LoadA(0x8000).StoreA(seen);
}

// Writes byte i of the mapped page as i XOR key for i = 0-255.
void Fill(Z80Code &code, int key)
{
    code({0x21, 0x00, 0x80, 0x06, 0x00});
    uint16_t const loop = code.Here();
    code({0x7D, 0xEE, key, 0x77, 0x23}).Djnz(loop);
}

Z80Code Writer(bool page2)
{
    Z80Code code;
    code.Start();
    MapAndLook(code, 1, 0xC100);
    Fill(code, 0x5A);
    if (page2) {
        MapAndLook(code, 2, 0xC101);
        Fill(code, 0xA5);
    }
    return code.Forever();
}

Z80Code Reader()
{
    Z80Code code;
    code.Start();
    MapAndLook(code, 1, 0xC100);
    return code.Forever();
}

std::vector<uint8_t> ReadAll(fs::path const &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

class BelcrestBatteryTest : public BelcrestSandbox {
protected:
    // Runs the program as "bat.sms" for a few frames and closes it;
    // messagesWhileRunning counts those shown before the close.
    void Play(Z80Code const &program)
    {
        program.Write(root / "bat.sms");
        ASSERT_TRUE(Run(root / "bat.sms")) << Console();
        battery = ZorvanEngine::Test::Narrow(Module().GetSaveName());
        Frames(5);
        seen1 = CpuSpace[0xC100];
        seen2 = CpuSpace[0xC101];
        messagesWhileRunning = messages.size();
        engine->Shutdown();
    }

    fs::path battery;
    uint8_t seen1 = 0, seen2 = 0;
    size_t messagesWhileRunning = 0;
};

TEST_F(BelcrestBatteryTest, CloseKeepsTheMappedPagesAndTheNextStartSeesThem)
{
    Play(Writer(false));
    EXPECT_EQ(seen1, 0x00);
    std::vector<uint8_t> file = ReadAll(battery);
    ASSERT_EQ(file.size(), 16384u);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(file[size_t(i)], uint8_t(i ^ 0x5A)) << i;
    EXPECT_EQ(file[256], 0);

    Play(Writer(true));
    EXPECT_EQ(seen1, 0x5A) << "the program sees the saved page";
    EXPECT_EQ(seen2, 0x00);
    file = ReadAll(battery);
    ASSERT_EQ(file.size(), 32768u);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(file[size_t(i)], uint8_t(i ^ 0x5A)) << i;
        ASSERT_EQ(file[16384 + size_t(i)], uint8_t(i ^ 0xA5)) << i;
    }

    // A run that maps only page 1 keeps page 2.
    Play(Reader());
    EXPECT_EQ(seen1, 0x5A);
    EXPECT_EQ(ReadAll(battery), file);
    EXPECT_TRUE(messages.empty());
}

// A file that is no save of this game (a text, another program's save)
// stays while games that only read their RAM come and go, each start
// telling the user why it is not used; the first game that writes its save
// moves it aside, and the user hears where.
TEST_F(BelcrestBatteryTest, ADamagedFileIsSetAsideWhenTheGameSavesWithOneMessage)
{
    Play(Writer(false));
    std::vector<uint8_t> const damaged(1000, 0x77);
    std::ofstream(battery, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<char const *>(damaged.data()), std::streamsize(damaged.size()));
    messages.clear();
    Play(Reader());
    EXPECT_EQ(seen1, 0x00) << "cartridge RAM starts clear";
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("is not a save of this game"), std::string::npos) << messages[0];
    EXPECT_EQ(ReadAll(battery), damaged);
    EXPECT_FALSE(fs::exists(battery.string() + ".damaged"));

    messages.clear();
    Play(Writer(false));
    EXPECT_EQ(messagesWhileRunning, 1u) << "told at the start";
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].find("moved aside as " + battery.string() + ".damaged"), std::string::npos)
        << messages[1];
    EXPECT_EQ(ReadAll(battery.string() + ".damaged"), damaged);
    EXPECT_EQ(ReadAll(battery).size(), 16384u);
}

TEST_F(BelcrestBatteryTest, AFileThatCannotBeWrittenIsReportedAndTheOldOneKept)
{
    Play(Writer(false));
    std::vector<uint8_t> const old = ReadAll(battery);
    // Blocked temporary file (the superuser writes into read-only folders).
    bool const superuser = geteuid() == 0;
    // In the way of the next writes (the settings may be written first).
    std::vector<std::string> blockers;
    for (unsigned ahead = 0; superuser && ahead < 16; ++ahead)
        blockers.push_back(Zorvan::NextTemporaryNameOf(battery.string(), ahead));
    for (std::string const &blocker : blockers)
        fs::create_directory(blocker);
    if (!superuser)
        fs::permissions(battery.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    messages.clear();
    Play(Writer(true));
    for (std::string const &blocker : blockers)
        fs::remove(blocker);
    if (!superuser)
        fs::permissions(battery.parent_path(), fs::perms::owner_all);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(battery.string()), std::string::npos) << messages[0];
    EXPECT_EQ(ReadAll(battery), old);
}

} // namespace
} // namespace Belcrest::Test
