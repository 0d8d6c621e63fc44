// The settings map: typed values, reuse of a key, reads of absent keys.
// What reaches the registry (transient values) is in registry_test.cpp.
#include "engine/PropertyMap.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace ZorvanEngine::Test {

using Zorvan::String;

namespace {

std::string Narrow(String const &text)
{
    return static_cast<char const *>(text);
}

TEST(PropertyMapTest, ValuesReadWithoutTypeCheck)
{
    struct Case {
        const char *name;
        std::function<void(PropertyMap &)> set;
        int asInt;
        bool asBool;
        const char *asString;
    } cases[] = {
        {"int", [](PropertyMap &m) { m.Set(L"k", 7, false); }, 7, true, ""},
        {"negative int", [](PropertyMap &m) { m.Set(L"k", -1, false); }, -1, true, ""},
        {"zero", [](PropertyMap &m) { m.Set(L"k", 0, false); }, 0, false, ""},
        {"bool true", [](PropertyMap &m) { m.Set(L"k", true, false); }, 1, true, ""},
        {"bool false", [](PropertyMap &m) { m.Set(L"k", false, false); }, 0, false, ""},
        {"String", [](PropertyMap &m) { m.Set(L"k", String(L"Ärger"), false); }, 0, false, "Ärger"},
        {"wide text", [](PropertyMap &m) { m.Set(L"k", L"skin.txt", true); }, 0, false, "skin.txt"},
        // A string held before stays when a number replaces it.
        {"String then int",
         [](PropertyMap &m) {
             m.Set(L"k", L"kept", false);
             m.Set(L"k", 256, false);
         },
         256, true, "kept"},
        // A bool written over an int is 0 or 1 as a whole, not in its low byte.
        {"int then bool",
         [](PropertyMap &m) {
             m.Set(L"k", 256, false);
             m.Set(L"k", true, false);
         },
         1, true, ""},
        {"int then String",
         [](PropertyMap &m) {
             m.Set(L"k", 5, false);
             m.Set(L"k", L"text", false);
         },
         5, true, "text"},
    };
    for (auto const &c : cases) {
        SCOPED_TRACE(c.name);
        PropertyMap map;
        c.set(map);
        EXPECT_TRUE(map.Contains(L"k"));
        EXPECT_EQ(map.GetInt(L"k"), c.asInt);
        EXPECT_EQ(map.GetBoolean(L"k"), c.asBool);
        EXPECT_EQ(Narrow(map.GetString(L"k")), c.asString);
    }
}

TEST(PropertyMapTest, AbsentKeysReadAsEmpty)
{
    PropertyMap map;
    map.Set(L"Volume", 50, false);
    // Keys are compared exactly.
    for (const wchar_t *key : {L"volume", L"VOLUME", L"Volume ", L""}) {
        EXPECT_FALSE(map.Contains(key));
        EXPECT_EQ(map.GetInt(key), 0);
        EXPECT_FALSE(map.GetBoolean(key));
        EXPECT_TRUE(map.GetString(key).IsEmpty());
    }
    EXPECT_EQ(map.GetInt(L"Volume"), 50);
}

TEST(PropertyMapTest, CopiesAreIndependent)
{
    PropertyMap original;
    original.Set(L"Volume", 50, false);
    original.Set(L"PadSkin", L"Classic", false);
    PropertyMap copy(original);
    copy.Set(L"Volume", 80, false);
    copy.Set(L"New", true, false);
    PropertyMap assigned;
    assigned.Set(L"Old", 1, false);
    assigned = copy;

    EXPECT_EQ(original.GetInt(L"Volume"), 50);
    EXPECT_FALSE(original.Contains(L"New"));
    EXPECT_EQ(copy.GetInt(L"Volume"), 80);
    EXPECT_EQ(Narrow(copy.GetString(L"PadSkin")), "Classic");
    EXPECT_FALSE(assigned.Contains(L"Old"));
    EXPECT_TRUE(assigned.GetBoolean(L"New"));
    assigned = assigned;
    EXPECT_EQ(assigned.GetInt(L"Volume"), 80);
}

} // namespace
} // namespace ZorvanEngine::Test
