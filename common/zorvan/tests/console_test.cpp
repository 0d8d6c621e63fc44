#include "common/zorvan/Console.h"

#include <gtest/gtest.h>

#include <string>

namespace Zorvan::Test {

TEST(Console, LinesAppendInOrderAndClear)
{
    clearConsole();
    EXPECT_STREQ(getConsole(), "");
    EXPECT_EQ(printConsole("a\n"), 0);
    printConsole("%s\n", "b");
    EXPECT_STREQ(getConsole(), "a\nb\n");
    printConsole("Loading %s... %d%%\n", "caf\xC3\xA9.gba", 50);
    EXPECT_STREQ(getConsole(), "a\nb\nLoading caf\xC3\xA9.gba... 50%\n");
    clearConsole();
    EXPECT_STREQ(getConsole(), "");
}

TEST(Console, LineLongerThanTheOldFormatAreaIsKeptWhole)
{
    clearConsole();
    std::string longName(5000, 'x');
    longName += "END";
    Zorvan::printConsole("Loading %s...\n", longName.c_str());
    std::string expected = "Loading " + longName + "...\n";
    EXPECT_EQ(std::string(getConsole()), expected);
    clearConsole();
}

TEST(Console, PointerStaysValidUntilTheNextCall)
{
    clearConsole();
    printConsole("first\n");
    char const *snapshot = getConsole();
    std::string copy = snapshot;
    EXPECT_EQ(copy, "first\n");
    clearConsole();
}

} // namespace Zorvan::Test
