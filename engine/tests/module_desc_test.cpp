// What a module description says about its files: the open-file filter
// text, which names it accepts, and its version in dotted form.
#include "engine/ExtensionSet.h"
#include "engine/ModuleDesc.h"

#include <gtest/gtest.h>

#include <string>

namespace ZorvanEngine::Test {
namespace {

std::string Narrow(Zorvan::String const &text)
{
    return static_cast<char const *>(text);
}

// Two sets: "A" with ".sms", "B" with ".gg" and ".sg".
void AddSets(ModuleDesc &desc)
{
    auto *a = new ExtensionSet(L"A");
    a->Add(L".sms");
    auto *b = new ExtensionSet(L"B");
    b->Add(L".gg");
    b->Add(L".sg");
    desc.GetExtensionSet().push_back(a);
    desc.GetExtensionSet().push_back(b);
}

TEST(ModuleDescTest, FilterListsEverySetWithItsPatterns)
{
    ModuleDesc desc;
    EXPECT_EQ(Narrow(desc.GetFileFilter()), "");
    AddSets(desc);
    EXPECT_EQ(Narrow(desc.GetFileFilter()), "A (*.sms)|*.sms|B (*.gg;*.sg)|*.gg;*.sg|");
    // Built anew on each call, not appended to.
    EXPECT_EQ(Narrow(desc.GetFileFilter()), "A (*.sms)|*.sms|B (*.gg;*.sg)|*.gg;*.sg|");
}

TEST(ModuleDescTest, NamesAreAcceptedByTheirEndingWithoutRegardToCase)
{
    ModuleDesc desc;
    AddSets(desc);
    struct Case {
        wchar_t const *name;
        bool accepted;
    } const cases[] = {
        {L"GAME.SMS", true},   {L"/roms/game.sg", true}, {L"game.Gg", true},  {L".gg", true},
        {L"gg", false},        {L"game.sms.txt", false}, {L"game.smsx", false}, {L"", false},
    };
    for (Case const &c : cases)
        EXPECT_EQ(desc.IsExtension(c.name), c.accepted) << Narrow(c.name);
}

TEST(ModuleDescTest, VersionIsStoredDotted)
{
    ModuleDesc desc;
    desc.SetVersion(L"2, 4, 0, 9");
    EXPECT_EQ(Narrow(desc.GetVersion()), "2.4.0.9");
    desc.SetVersion(L"2,4, 0, 10");
    EXPECT_EQ(Narrow(desc.GetVersion()), "2,4.0.10");
}

} // namespace
} // namespace ZorvanEngine::Test
