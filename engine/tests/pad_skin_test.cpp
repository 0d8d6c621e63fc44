// Pad skins: the skin file format, the skin list and the hit test on the
// built-in skin's bitmap.
#include "common/zorvan/Console.h"
#include "engine/PadSkin.h"
#include "engine/PadSkinMgr.h"
#include "engine/tests/EngineSandbox.h"
#include "platform/ondrel/PixelFormat.h"
#include "platform/ondrel/Surface.h"

#include <set>

namespace ZorvanEngine::Test {
namespace {

class PadSkinTest : public Sandbox {
protected:
    fs::path Skins() const { return programFolder / "Skins"; }

    std::unique_ptr<PadSkin> Read(std::string const &content)
    {
        fs::path const file = Skins() / "skin.txt";
        WriteFile(file, content);
        return std::unique_ptr<PadSkin>(PadSkinMgr::ReadSkinFile(Wide(file), Wide(Skins())));
    }
};

TEST_F(PadSkinTest, ColourLinesGiveRgb565AndControlMasks)
{
    struct Case {
        char const *line;
        uint16_t colour;
        uint16_t mask;
    } const cases[] = {
        {"0xff8000 a+b", 0xFC00, 0x8080},
        {"0x00FF00 start+select", 0x07E0, 0x3000},
        {"0x123456 foo", Ondrel::Rgb888To565(0x123456), 0},
        {"0X0000FF N+E", 0x001F, 0x0900},
        {"0xFFFFFF nw+sw+Select", 0xFFFF, 0x0A00 | 0x0600 | 0x2000},
        {"0x808080 c+x+y+l+r", Ondrel::Rgb888To565(0x808080), 0x0008 | 0x0040 | 0x4000 | 0x0020 | 0x0010},
        {"0x010203", Ondrel::Rgb888To565(0x010203), 0},
    };
    for (Case const &c : cases) {
        Zorvan::clearConsole();
        auto skin = Read(std::string("Quintar.Skin.1\n") + c.line + "\n");
        ASSERT_TRUE(skin) << c.line;
        ASSERT_EQ(skin->GetColorCount(), 1) << c.line;
        EXPECT_EQ(skin->GetColor(0), c.colour) << c.line;
        EXPECT_EQ(skin->GetMask(0), c.mask) << c.line;
        char expected[64];
        std::snprintf(expected, sizeof expected, "Color565: %04x", unsigned(c.colour));
        EXPECT_NE(Console().find(expected), std::string::npos) << Console();
    }

    // The whole console line of a colour.
    Zorvan::clearConsole();
    ASSERT_TRUE(Read("Quintar.Skin.1\n0xff8000 a+b\n"));
    EXPECT_EQ(Console(), "Color: 0xff8000  Color565: fc00  Control: a+b\n");
}

TEST_F(PadSkinTest, OnlyFilesWithASkinHeaderAreSkins)
{
    struct Case {
        char const *firstLine;
        bool accepted;
    } const cases[] = {
        {"QUINTAR.SKIN.1 made by hand", true},
        {"Quintar.Skin.1", true},
        {"ferrowin.skin.1", true},
        {"Quintar.Skin.2", false},
        {" Quintar.Skin.1", false},
        {"Name=Quintar.Skin.1", false},
        {"", false},
    };
    for (Case const &c : cases)
        EXPECT_EQ(Read(std::string(c.firstLine) + "\nName=Pad\n") != nullptr, c.accepted) << c.firstLine;

    EXPECT_EQ(PadSkinMgr::ReadSkinFile(Wide(Skins() / "missing.txt"), Wide(Skins())), nullptr);
}

TEST_F(PadSkinTest, SkinFileFieldsAndLineEnds)
{
    // Windows line ends, and a last line without any line end: no value may
    // lose a real character.
    auto skin = Read("Quintar.Skin.1\r\n"
                     "// Name=Commented out\r\n"
                     "Bitmap=pad.bmp\r\n"
                     "Type=GBA\r\n"
                     "Author=Somebody\r\n"
                     "Landscape=1\r\n"
                     "Unknown=ignored\r\n"
                     "0xFF0000 n\r\n"
                     "Name=Round Pad");
    ASSERT_TRUE(skin);
    EXPECT_EQ(Narrow(skin->GetName()), "Round Pad");
    EXPECT_EQ(Narrow(skin->GetType()), "GBA");
    EXPECT_EQ(Narrow(skin->GetAuthor()), "Designed by: Somebody");
    EXPECT_EQ(Narrow(skin->GetBitmap()), (Skins() / "pad.bmp").string());
    EXPECT_EQ(Narrow(skin->GetID()), "GBA|Round Pad");
    EXPECT_TRUE(skin->IsLandscape());
    EXPECT_FALSE(skin->IsFromResource());
    ASSERT_EQ(skin->GetColorCount(), 1);
    EXPECT_EQ(skin->GetMask(0), 0x0800);

    // A valid header alone still makes a skin, without a name.
    auto bare = Read("Quintar.Skin.1\nLandscape=0\n");
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->GetName().IsEmpty());
    EXPECT_FALSE(bare->IsLandscape());
    EXPECT_EQ(Narrow(bare->GetID()), "|");
}

TEST_F(PadSkinTest, ABitmapOutsideTheSkinsFolderRefusesTheSkin)
{
    using namespace std::string_view_literals;
    struct Case {
        std::string_view bitmap;
        bool accepted;
    } const cases[] = {
        {"pad.bmp", true},
        {"sub/pad.bmp", true},
        {"pad..bmp", true},
        {"../pad.bmp", false},
        {"sub/../../pad.bmp", false},
        {"..\\pad.bmp", false},
        {"..", false},
        {"/etc/passwd", false},
        {"\\server\\pad.bmp", false},
        // The name is used as a C string: what follows a NUL is not part of it.
        {"..\0\0ub/pad.bmp"sv, false},
        {"pad.bmp\0/../../x"sv, true},
    };
    for (Case const &c : cases) {
        Zorvan::clearConsole();
        auto skin = Read(std::string("Quintar.Skin.1\nName=Pad\nBitmap=") + std::string(c.bitmap) + "\n");
        EXPECT_EQ(skin != nullptr, c.accepted) << c.bitmap;
        if (skin) {
            // Appended: GCC 12 sees a false overlap in "/" + std::string.
            std::string const name = std::string("/").append(c.bitmap.substr(0, c.bitmap.find('\0')));
            EXPECT_TRUE(std::string_view(static_cast<char const *>(skin->GetBitmap())).ends_with(name))
                << static_cast<char const *>(skin->GetBitmap());
        }
        std::string const console = Zorvan::getConsole();
        EXPECT_EQ(console.find("outside the Skins folder") != std::string::npos, !c.accepted)
            << c.bitmap << ": " << console;
    }
}

TEST_F(PadSkinTest, ColourTableHoldsAtMostThirtyTwoEntries)
{
    std::string content = "Quintar.Skin.1\n";
    for (int i = 0; i < 40; ++i)
        content += "0x0000" + std::string(i < 16 ? "0" : "") + std::to_string(i) + " a\n";
    auto skin = Read(content);
    ASSERT_TRUE(skin);
    EXPECT_EQ(skin->GetColorCount(), PadSkin::kMaxColors);
}

TEST_F(PadSkinTest, TextToIntSkipsWhatIsNotAHexDigit)
{
    EXPECT_EQ(PadSkin::TextToInt(L"0xFF0000"), 0xFF0000u);
    EXPECT_EQ(PadSkin::TextToInt(L"0Xa1b2c3"), 0xA1B2C3u);
    EXPECT_EQ(PadSkin::TextToInt(L"12 g 34"), 0x1234u);
    EXPECT_EQ(PadSkin::TextToInt(L""), 0u);
    EXPECT_EQ(PadSkin::DecodeMask(L""), 0u);
    EXPECT_EQ(PadSkin::DecodeMask(L"n++e"), 0x0900u);
}

TEST_F(PadSkinTest, LoadSkinsPutsTheBuiltInSkinFirstThenTheFilesInNameOrder)
{
    WriteFile(Skins() / "b.txt", "Quintar.Skin.1\nName=Second\n");
    WriteFile(Skins() / "a.TXT", "Ferrowin.Skin.1\nName=First\n");
    WriteFile(Skins() / "c.txt", "not a skin\nName=Never\n");
    WriteFile(Skins() / "d.ini", "Quintar.Skin.1\nName=Wrong extension\n");

    PadSkinMgr skins;
    EXPECT_TRUE(skins.LoadSkins(Wide(Skins())));
    std::vector<std::string> names;
    for (PadSkin const *skin : skins.GetSkins())
        names.push_back(Narrow(skin->GetName()));
    EXPECT_EQ(names, (std::vector<std::string>{"Quintar Default", "First", "Second"}));
    EXPECT_NE(Console().find("\nLoading Skin: First\n"), std::string::npos);

    PadSkin const &builtIn = *skins.GetSkins().front();
    EXPECT_EQ(Narrow(builtIn.GetAuthor()), "Designed by: Quintar");
    EXPECT_EQ(Narrow(builtIn.GetType()), "All");
    EXPECT_TRUE(builtIn.IsFromResource());
    EXPECT_EQ(builtIn.GetResourceId(), 166);
    EXPECT_FALSE(builtIn.IsLandscape());
    ASSERT_EQ(builtIn.GetColorCount(), 16);
    EXPECT_EQ(builtIn.GetColor(0), 0x9CF3);
    EXPECT_EQ(builtIn.GetMask(0), 0x0800);
    EXPECT_EQ(builtIn.GetColor(15), 0x6B80);
    EXPECT_EQ(builtIn.GetMask(15), 0x2000);
}

TEST_F(PadSkinTest, TheSkinsFolderIsCreatedWhenMissing)
{
    fs::path const folder = root / "fresh/Skins";
    PadSkinMgr skins;
    skins.LoadSkins(Wide(folder));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(skins.GetSkins().size(), 1u);
}

TEST_F(PadSkinTest, GetSkinMatchesANamePrefixCaseBlind)
{
    WriteFile(Skins() / "a.txt", "Quintar.Skin.1\nName=Quintar Deluxe\n");
    PadSkinMgr skins;
    skins.LoadSkins(Wide(Skins()));
    PadSkin *builtIn = skins.GetSkins()[0];
    PadSkin *deluxe = skins.GetSkins()[1];

    EXPECT_EQ(skins.GetSkin(L"Quintar"), builtIn);
    EXPECT_EQ(skins.GetSkin(L"quintar de"), builtIn);
    EXPECT_EQ(skins.GetSkin(L"QUINTAR DEL"), deluxe);
    EXPECT_EQ(skins.GetSkin(L""), builtIn);
    EXPECT_EQ(skins.GetSkin(L"Quintar Default and more"), nullptr);
    EXPECT_EQ(skins.GetSkin(L"Other"), nullptr);
}

class BuiltInSkinTest : public PadSkinTest {
protected:
    void SetUp() override
    {
        PadSkinTest::SetUp();
        MakeEngine();
        ZorvanEngine::PadSkinMgr &skins = engine->GetPadSkinMgr();
        skins.SetActiveSkin(nullptr);
        skin = skins.GetActiveSkin();
        ASSERT_NE(skin, nullptr);
        ASSERT_NE(skin->GetImage(), nullptr);
    }
    PadSkin *skin = nullptr;
};

TEST_F(BuiltInSkinTest, BitmapIsThePadAboveItsHitMap)
{
    EXPECT_EQ(skin->GetImageSize(), (Ondrel::Point{240, 192}));
    // Every control of the table has an area on the hit map.
    std::set<unsigned> masks;
    for (int y = 0; y < 96; ++y) {
        for (int x = 0; x < 240; ++x)
            masks.insert(skin->CheckPad(x, y));
    }
    masks.erase(0u);
    EXPECT_EQ(masks.size(), 16u);
}

TEST_F(BuiltInSkinTest, CheckPadLooksUpTheHitMap)
{
    struct Case {
        int x, y;
        unsigned mask;
    } const cases[] = {
        {50, 24, 0x0800},    // above the cross's centre: north
        {50, 84, 0x0400},    // south
        {20, 54, 0x0200},    // west
        {80, 54, 0x0100},    // east
        {75, 30, 0x0900},    // north-east
        {220, 54, 0x0080},   // A
        {196, 76, 0x8000},   // B
        {134, 88, 0x1000},   // start
        {106, 88, 0x2000},   // select
        {10, 5, 0x0020},     // L
        {230, 5, 0x0010},    // R
        {50, 54, 0},         // the cross's centre is no control
        {130, 40, 0},        // a hit-map colour not in the table
        {-1, 10, 0},         // outside the pad
        {10, -1, 0},
        {240, 10, 0},
        {10, 96, 0},         // below the pad half
    };
    for (Case const &c : cases)
        EXPECT_EQ(skin->CheckPad(c.x, c.y), c.mask) << c.x << "," << c.y;
}

TEST_F(BuiltInSkinTest, ActiveSkinChangesLoadAndReleaseImages)
{
    WriteFile(Skins() / "a.txt", "Quintar.Skin.1\nName=No Picture\nBitmap=missing.bmp\n");
    PadSkinMgr &skins = engine->GetPadSkinMgr();
    skins.ReleaseSkins();
    skins.LoadSkins(Wide(Skins()));
    PadSkin *builtIn = skins.GetSkins()[0];
    PadSkin *other = skins.GetSkins()[1];
    skins.SetActiveSkin(builtIn);
    ASSERT_NE(builtIn->GetImage(), nullptr);

    skins.SetActiveSkin(other);
    EXPECT_EQ(builtIn->GetImage(), nullptr);
    EXPECT_EQ(other->GetImage(), nullptr);      // its bitmap file is missing
    EXPECT_EQ(other->CheckPad(1, 1), 0u);
    EXPECT_EQ(other->GetImageSize(), (Ondrel::Point{0, 0}));

    skins.ReleaseSkins();
    EXPECT_EQ(skins.GetActiveSkin(), nullptr);
    EXPECT_TRUE(skins.GetSkins().empty());
}

} // namespace
} // namespace ZorvanEngine::Test
