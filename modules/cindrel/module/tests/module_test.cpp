// The module's description, settings and page, opening images plain and
// zipped, the picture of a builder scene and failed opens.
#include "engine/ModuleDesc.h"
#include "modules/cindrel/module/tests/CindrelSandbox.h"
#include "platform/ondrel/Input.h"

#include <dlfcn.h>

#include <algorithm>

namespace Cindrel::Test {
namespace {

using ZorvanEngine::Test::Narrow;

class CindrelModuleTest : public CindrelSandbox {};

TEST_F(CindrelModuleTest, DescriptionFromThePlugIn)
{
    fs::path const library = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin/ZorvanModules/libCindrel.so";
    void *handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto newDesc = reinterpret_cast<ZorvanEngine::ModuleDesc *(*)()>(dlsym(handle, "NewModuleDesc"));
    ASSERT_NE(newDesc, nullptr);
    std::unique_ptr<ZorvanEngine::ModuleDesc> desc(newDesc());
    EXPECT_EQ(Narrow(desc->GetName()), "Cindrel (NES)");
    EXPECT_EQ(Narrow(desc->GetRegKeyRoot()), "NES");
    EXPECT_EQ(Narrow(desc->GetVersion()), "2.4.0.9");
    std::string const html = Narrow(desc->GetDescription());
    EXPECT_EQ(html.rfind("Nintendo Entertainment System<br>Cindrel 3.0<br>", 0), 0u);
    EXPECT_NE(html.find("<a href="), std::string::npos);
    ASSERT_EQ(desc->GetExtensionSet().size(), 1u);
    EXPECT_EQ(Narrow(desc->GetExtensionSet()[0]->GetName()), "NES ROM");
    ASSERT_EQ(desc->GetExtensionSet()[0]->extensions.size(), 1u);
    EXPECT_EQ(Narrow(desc->GetExtensionSet()[0]->extensions[0]), ".nes");
    EXPECT_NE(dlsym(handle, "NewModule"), nullptr);
    desc.reset();
    dlclose(handle);
}

TEST_F(CindrelModuleTest, ResetSettingsDefaults)
{
    auto module = std::make_unique<CindrelModule>();
    module->ResetSettings();
    PropertyMap const &s = module->GetSettings();
    EXPECT_FALSE(s.GetBoolean(L"UseBlend"));
    EXPECT_EQ(Narrow(s.GetString(L"ScreenSize")), "100%");
    EXPECT_EQ(s.GetInt(L"FrameSkip"), 3);
    EXPECT_EQ(s.GetInt(L"SoundBuffers"), 8);
    EXPECT_FALSE(s.GetBoolean(L"DoubleWidth"));
    for (wchar_t const *key : {L"Sound", L"Noise", L"FrameSync", L"SoundChannel0", L"SoundChannel1", L"SoundChannel2",
                               L"SoundChannel3", L"SoundChannel4", L"SoundChannel5", L"SoundChannel6"})
        EXPECT_TRUE(s.GetBoolean(key)) << Narrow(key);
    EXPECT_FALSE(s.Contains(L"SoundChannel7")) << "the machine has seven sound channels";
    EXPECT_EQ(s.GetInt(L"SoundRate"), 44100);
    EXPECT_EQ(s.GetInt(L"SoundRefresh"), 1);
    uint16_t const *keys = engine->GetInput()->GetDefaultKeys();
    struct Binding {
        wchar_t const *button;
        int keyIndex, joystick;
    } const bindings[] = {{L"Up", 0, 0},    {L"Down", 1, 1},   {L"Left", 2, 2}, {L"Right", 3, 3},
                          {L"Start", 4, 6}, {L"Select", 7, 7}, {L"A", 5, 4},    {L"B", 6, 5}};
    for (Binding const &b : bindings) {
        EXPECT_EQ(s.GetInt(Zorvan::String(L"vk") + b.button), keys[b.keyIndex]) << Narrow(b.button);
        EXPECT_EQ(s.GetInt(Zorvan::String(L"js") + b.button), b.joystick) << Narrow(b.button);
    }
    EXPECT_EQ(Narrow(s.GetString(L"PadSkin")), "Quintar Default");
}

TEST_F(CindrelModuleTest, SceneImagePlainAndZippedDrawsItsPicture)
{
    SceneCartridge().Write(root / "scene.nes");
    SceneCartridge().WriteZipped(root / "scene.zip", "game/scene.nes", {{"readme.txt", "hello"}});
    for (char const *name : {"scene.nes", "scene.zip"}) {
        ASSERT_TRUE(Run(root / name)) << name << Console();
        Frames(10);
        EXPECT_GE(CpuSpace[0x10], 5) << name;
        // Column c shows tile c & 3; group from the attribute bytes, whose
        // value is their index & 3 in the top-left quadrant. Palette byte 0
        // is what the program wrote at $3F10, its mirror.
        std::vector<uint32_t> const pixels = ShownPixels();
        uint8_t const *palette = VideoSpace + 0x3F00;
        for (int y = 0; y < 224; y += 7) {
            int const row = (y + 8) / 8;
            for (int x = 0; x < 256; x += 3) {
                int const column = x / 8;
                int const value = column & 3;
                int const attributeIndex = (row / 4) * 8 + column / 4;
                int const group = ((column & 2) == 0 && (row & 2) == 0) ? (attributeIndex & 3) : 0;
                int const colour = value == 0 ? palette[0] : palette[group * 4 + value];
                ASSERT_EQ(pixels[size_t(y * 256 + x)], HostOf(colour & 63)) << name << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(CindrelModuleTest, FailedOpensLeaveTheProgramUsable)
{
    ZorvanEngine::Test::WriteFile(root / "bad.nes", "NOT AN IMAGE AT ALL");
    EXPECT_FALSE(engine->RunFile(ZorvanEngine::Test::Wide(root / "bad.nes"), new CindrelModule));
    EXPECT_NE(Console().find("The file is text, not a game image"), std::string::npos) << Console();
    ZorvanEngine::Test::WriteFile(root / "bad.nes", std::string("NOT\x1A AN IMAGE AT ALL"));
    EXPECT_FALSE(engine->RunFile(ZorvanEngine::Test::Wide(root / "bad.nes"), new CindrelModule));
    EXPECT_NE(Console().find("INVALID IMAGE"), std::string::npos) << Console();
    CartridgeBuilder cart(2, 1);
    std::vector<uint8_t> bytes = cart.Bytes();
    bytes.resize(16 + 0x4000);
    ZorvanEngine::Test::WriteFile(root / "short.nes", std::string(bytes.begin(), bytes.end()));
    EXPECT_FALSE(engine->RunFile(ZorvanEngine::Test::Wide(root / "short.nes"), new CindrelModule));
    SceneCartridge().Write(root / "scene.nes");
    ASSERT_TRUE(Run(root / "scene.nes")) << Console();
    Frames(3);
}

// A number without a row runs on the default mapping, and the user is told
// so once; the NES 2.0 high bits count (258 is not 2). Supported numbers
// say nothing.
TEST_F(CindrelModuleTest, UnsupportedMappersRunAndSaySo)
{
    struct Case {
        char const *file;
        CartridgeBuilder cart;
        char const *message; // null: none
    } const cases[] = {
        {"m118.nes", SceneCartridge().Mapper(118), "Mapper 118 is not supported; the game may not run"},
        {"m258.nes", SceneCartridge().Mapper(258).Nes2(0, 0x07, 0), "Mapper 258 is not supported; the game may not run"},
        {"m4.nes", SceneCartridge().Mapper(4), nullptr},
    };
    for (Case const &c : cases) {
        c.cart.Write(root / c.file);
        messages.clear();
        ASSERT_TRUE(Run(root / c.file)) << Console();
        Frames(3);
        if (!c.message) {
            EXPECT_TRUE(messages.empty()) << c.file;
            continue;
        }
        ASSERT_EQ(messages.size(), 1u) << c.file;
        EXPECT_EQ(messages[0], c.message);
        EXPECT_NE(Console().find(std::string("  ") + c.message + "\n"), std::string::npos) << Console();
    }
}

// An MMC5 board without pattern ROM draws with extended attributes from
// its pattern RAM: every attribute byte $C5 (palette group 3, 4 KB bank 5,
// which is bank 1 of 8 KB) and tile 0 solid in value 3 there, so the whole
// picture is group 3's colour 3.
TEST_F(CindrelModuleTest, Mmc5WithoutPatternRomDrawsExtendedAttributesFromPatternRam)
{
    std::vector<uint8_t> code = {
        0x78,                                                 // SEI
        0xA9, 0x00, 0x8D, 0x01, 0x20,                         // picture off while video memory is written
        0xA9, 0x01, 0x8D, 0x04, 0x51,                         // extended attributes
        0xA9, 0xC5, 0xA2, 0x00,                               // every attribute byte $C5
        0x9D, 0x00, 0x5C, 0x9D, 0x00, 0x5D, 0x9D, 0x00, 0x5E, 0x9D, 0x00, 0x5F, 0xE8, 0xD0, 0xF1,
        0xA9, 0x10, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // tile 0 of $1000: 16 bytes of $FF
        0xA9, 0xFF, 0xA2, 0x10, 0x8D, 0x07, 0x20, 0xCA, 0xD0, 0xFA,
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x0F, 0x8D, 0x06, 0x20, // $3F0F = $16
        0xA9, 0x16, 0x8D, 0x07, 0x20,
        0xA9, 0x00, 0x8D, 0x00, 0x20, 0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20, // name table 0, scroll 0, 0
        0xA9, 0x0A, 0x8D, 0x01, 0x20,                         // background on, left column shown
    };
    uint16_t const self = uint16_t(0xE000 + code.size());
    code.insert(code.end(), {0x4C, uint8_t(self), uint8_t(self >> 8)}); // JMP to itself
    CartridgeBuilder cart(2, 0);
    cart.Mapper(5).Code(0xE000, code).Vectors(self, 0xE000, self);
    cart.Write(root / "mmc5.nes");
    ASSERT_TRUE(Run(root / "mmc5.nes")) << Console();
    Frames(4);
    std::vector<uint32_t> const pixels = ShownPixels();
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), HostOf(0x16)), std::ptrdiff_t(pixels.size()));
}

} // namespace
} // namespace Cindrel::Test
