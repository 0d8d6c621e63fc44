// The registry over the user's key store, and settings maps saved to it and
// loaded from it.
#include "engine/PropertyMap.h"
#include "engine/Registry.h"
#include "tools/testsupport/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace ZorvanEngine::Test {

using Zorvan::String;

namespace {

std::string Narrow(String const &text)
{
    return static_cast<char const *>(text);
}

// Points the user's key store at a fresh folder for the test.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quintar-registry-XXXXXX";
        folder_ = mkdtemp(pattern);
        environment_.Set("QUINTAR_CONFIG_DIR", folder_);
    }
    void TearDown() override
    {
        environment_.Restore();
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }
    std::string StoreFile() const { return folder_ + "/keystore.dat"; }

private:
    std::string folder_;
    QuintarTest::ScopedEnvironment environment_;
};

PropertyMap EngineDefaults()
{
    PropertyMap map;
    map.Set(L"Volume", 50, false);
    map.Set(L"FrameSync", true, false);
    map.Set(L"Sound", false, false);
    map.Set(L"SavedGameRoot", L"/home/user/Saved Game Files", false);
    map.Set(L"ScreenWidth", 240, true);
    map.Set(L"FullScreen", false, true);
    return map;
}

TEST_F(RegistryTest, SettingsMapRoundTrip)
{
    PropertyMap saved = EngineDefaults();
    saved.Set(L"Volume", 80, false);
    saved.Set(L"FrameSync", false, false);
    saved.Set(L"Sound", true, false);
    saved.Set(L"SavedGameRoot", L"/home/jürgen/Spielstände", false);
    saved.Set(L"ScreenWidth", 640, true);
    saved.Set(L"FullScreen", true, true);
    {
        Registry key(HKEY_CURRENT_USER, L"Software/Quintar", 1);
        ASSERT_TRUE(static_cast<HKEY>(key));
        saved.ToRegistry(key);
        // Transient values never reach the registry.
        EXPECT_FALSE(key.ValueExists(L"ScreenWidth"));
        EXPECT_FALSE(key.ValueExists(L"FullScreen"));
        // A value under a transient name is not read either.
        key.WriteDWORD(L"ScreenWidth", 1024);
    }
    // What was saved is in the file, not only in this process's copy.
    Platform::KeyStore file(StoreFile());
    EXPECT_EQ(file.ValueNames("Software/Quintar").size(), 5u);

    PropertyMap loaded = EngineDefaults();
    Registry key(HKEY_CURRENT_USER, L"Software\\Quintar", 1);
    EXPECT_EQ(key.GetDisposition(), REG_OPENED_EXISTING_KEY);
    loaded.FromRegistry(key);
    EXPECT_EQ(loaded.GetInt(L"Volume"), 80);
    EXPECT_FALSE(loaded.GetBoolean(L"FrameSync"));
    EXPECT_TRUE(loaded.GetBoolean(L"Sound"));
    EXPECT_EQ(Narrow(loaded.GetString(L"SavedGameRoot")), "/home/jürgen/Spielstände");
    EXPECT_EQ(loaded.GetInt(L"ScreenWidth"), 240);
    EXPECT_FALSE(loaded.GetBoolean(L"FullScreen"));
}

TEST_F(RegistryTest, LoadReadsOnlyWhatTheMapHoldsAndKeepsTypes)
{
    {
        Registry key(HKEY_CURRENT_USER, L"Software/Quintar/GameBoyAdvance", 1);
        EXPECT_EQ(key.GetDisposition(), REG_CREATED_NEW_KEY);
        key.WriteDWORD(L"Volume", 80);
        key.WriteDWORD(L"Stray", 1);
        key.WriteString(L"Speed", L"fast");   // the map holds an int
        key.WriteDWORD(L"Skin", 3);           // the map holds a String
        key.WriteDWORD(L"Noise", 2);          // any non-zero DWORD is true
    }
    PropertyMap map;
    map.Set(L"Volume", 50, false);
    map.Set(L"Speed", 100, false);
    map.Set(L"Skin", L"Classic", false);
    map.Set(L"Noise", false, false);
    map.Set(L"Absent", 9, false);
    Registry key(HKEY_CURRENT_USER, L"Software/Quintar/GameBoyAdvance", 1);
    map.FromRegistry(key);
    EXPECT_EQ(map.GetInt(L"Volume"), 80);
    EXPECT_FALSE(map.Contains(L"Stray"));
    EXPECT_EQ(map.GetInt(L"Speed"), 100);
    EXPECT_EQ(Narrow(map.GetString(L"Skin")), "Classic");
    EXPECT_TRUE(map.GetBoolean(L"Noise"));
    EXPECT_EQ(map.GetInt(L"Absent"), 9);
    // Saving writes the map's types back over what the registry held.
    map.ToRegistry(key);
    EXPECT_EQ(key.ReadDWORD(L"Speed", 0), 100u);
    EXPECT_EQ(Narrow(key.ReadString(L"Skin", L"")), "Classic");
    EXPECT_EQ(key.ReadDWORD(L"Noise", 7), 1u);
}

TEST_F(RegistryTest, TransientFlagIsReplacedOnEverySet)
{
    PropertyMap map;
    map.Set(L"A", 1, true);
    map.Set(L"A", 2, false);  // now persistent
    map.Set(L"B", 3, false);
    map.Set(L"B", 4, true);   // now transient
    Registry key(HKEY_CURRENT_USER, L"Software/Quintar", 1);
    map.ToRegistry(key);
    EXPECT_EQ(key.ReadDWORD(L"A", 0), 2u);
    EXPECT_FALSE(key.ValueExists(L"B"));
}

TEST_F(RegistryTest, DeleteRegistryKeepsRegKeyAndTransientValues)
{
    Registry key(HKEY_CURRENT_USER, L"Software/Quintar/Module", 1);
    for (const wchar_t *name : {L"RegKey", L"Volume", L"Skin", L"Width"})
        key.WriteDWORD(name, 1);
    PropertyMap map;
    map.Set(L"RegKey", 1, false);
    map.Set(L"Volume", 1, false);
    map.Set(L"Skin", L"x", false);
    map.Set(L"Width", 1, true);
    map.DeleteRegistry(key);
    EXPECT_TRUE(key.ValueExists(L"RegKey"));
    EXPECT_FALSE(key.ValueExists(L"Volume"));
    EXPECT_FALSE(key.ValueExists(L"Skin"));
    EXPECT_TRUE(key.ValueExists(L"Width"));
}

TEST_F(RegistryTest, ValuesFallBackToDefaults)
{
    Registry key(HKEY_CURRENT_USER, L"Software/Quintar", 1);
    const uint8_t blob[] = {1, 2, 3};
    ASSERT_TRUE(key.WriteBinary(L"Blob", blob, sizeof blob));
    ASSERT_TRUE(key.WriteString(L"Text", L"abc"));
    ASSERT_TRUE(key.WriteString(L"Empty", L""));
    ASSERT_TRUE(key.WriteDWORD(L"Number", 0xFFFFFFFFu));

    EXPECT_EQ(key.ReadDWORD(L"Number", 5), 0xFFFFFFFFu);
    EXPECT_EQ(key.ReadDWORD(L"Missing", 5), 5u);
    EXPECT_EQ(key.ReadDWORD(L"Text", 5), 5u);   // not a DWORD
    EXPECT_EQ(key.ReadDWORD(L"Blob", 5), 5u);
    EXPECT_EQ(Narrow(key.ReadString(L"Text", L"d")), "abc");
    EXPECT_EQ(Narrow(key.ReadString(L"Empty", L"d")), "");
    EXPECT_EQ(Narrow(key.ReadString(L"Number", L"d")), "d");
    EXPECT_EQ(Narrow(key.ReadString(L"Missing", L"d")), "d");

    uint8_t out[8] = {};
    uint32_t size = 0;
    EXPECT_TRUE(key.ReadBinary(L"Blob", nullptr, &size));
    EXPECT_EQ(size, 3u);
    size = 2;
    EXPECT_FALSE(key.ReadBinary(L"Blob", out, &size));
    EXPECT_EQ(size, 3u);
    size = sizeof out;
    EXPECT_TRUE(key.ReadBinary(L"Blob", out, &size));
    EXPECT_EQ(std::vector<uint8_t>(out, out + size), (std::vector<uint8_t>{1, 2, 3}));

    EXPECT_TRUE(key.DeleteValue(L"Blob"));
    EXPECT_FALSE(key.DeleteValue(L"Blob"));
    EXPECT_FALSE(key.ValueExists(L"Blob"));
}

TEST_F(RegistryTest, KeyThatCannotBeOpened)
{
    Registry key(HKEY_CURRENT_USER, L"Software/Nobody", 0);
    EXPECT_FALSE(static_cast<HKEY>(key));
    EXPECT_EQ(key.ReadDWORD(L"x", 7), 7u);
    EXPECT_EQ(Narrow(key.ReadString(L"x", L"d")), "d");
    EXPECT_FALSE(key.WriteDWORD(L"x", 1));
    EXPECT_FALSE(key.WriteString(L"x", L"y"));
    EXPECT_FALSE(key.ValueExists(L"x"));
    EXPECT_FALSE(key.SubkeyExists(L"x"));
    EXPECT_EQ(key.Close(), 0);
    // Nothing was created by the attempt.
    Registry root(HKEY_CURRENT_USER, L"", 0);
    EXPECT_FALSE(root.SubkeyExists(L"Software"));

    Registry open(HKEY_CURRENT_USER, L"Software/Quintar", 1);
    EXPECT_EQ(open.Close(), 1);
    EXPECT_EQ(open.Close(), 0);
    EXPECT_FALSE(open.WriteDWORD(L"x", 1));
}

TEST_F(RegistryTest, SubkeysOpenEnumerateAndDeleteWithEverythingBelow)
{
    Registry quintar(HKEY_CURRENT_USER, L"Software/Quintar", 1);
    for (const wchar_t *path : {L"Tavrin/Keys/Deep", L"Cindrel", L"Belcrest"}) {
        Registry sub(quintar, path, 1);
        ASSERT_TRUE(static_cast<HKEY>(sub));
        sub.WriteDWORD(L"v", 1);
    }
    std::vector<std::string> names;
    String name;
    for (int more = quintar.GetFirstSubkey(name); more; more = quintar.GetNextSubkey(name))
        names.push_back(Narrow(name));
    EXPECT_EQ(names, (std::vector<std::string>{"Belcrest", "Cindrel", "Tavrin"}));
    EXPECT_TRUE(quintar.GetSubkey(name, 1));
    EXPECT_EQ(Narrow(name), "Cindrel");
    EXPECT_FALSE(quintar.GetSubkey(name, 3));

    quintar.WriteDWORD(L"b", 1);
    quintar.WriteDWORD(L"a", 1);
    names.clear();
    for (int more = quintar.GetFirstValue(name); more; more = quintar.GetNextValue(name))
        names.push_back(Narrow(name));
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));

    EXPECT_TRUE(quintar.SubkeyExists(L"tavrin"));
    EXPECT_TRUE(quintar.DeleteSubkey(L"Tavrin"));
    EXPECT_FALSE(quintar.SubkeyExists(L"Tavrin"));
    EXPECT_FALSE(quintar.DeleteSubkey(L"Tavrin"));
    Registry deep(HKEY_CURRENT_USER, L"Software/Quintar/Tavrin/Keys/Deep", 0);
    EXPECT_FALSE(static_cast<HKEY>(deep));
    EXPECT_TRUE(quintar.SubkeyExists(L"Cindrel"));
}

} // namespace
} // namespace ZorvanEngine::Test
