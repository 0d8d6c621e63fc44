#include "common/zorvan/PathParts.h"

#include <gtest/gtest.h>

#include <string>

namespace Zorvan::Test {

TEST(PathParts, SplitTableAndJoinGivesThePathBack)
{
    struct Case {
        char const *path, *drive, *dir, *fname, *ext;
    } const cases[] = {
        {"/home/u/roms/game.gba", "", "/home/u/roms/", "game", ".gba"},
        {"roms/game.tar.gz", "", "roms/", "game.tar", ".gz"},
        {"game", "", "", "game", ""},
        {"/dir.d/noext", "", "/dir.d/", "noext", ""},
        {"/dir/", "", "/dir/", "", ""},
        {".hidden", "", "", "", ".hidden"},
        {"C:/roms/a.nes", "C:", "/roms/", "a", ".nes"},
        {"/tmp/a:b.sms", "", "/tmp/", "a:b", ".sms"},
        {"", "", "", "", ""},
    };
    for (auto const &c : cases) {
        char drive[MaxDrive], dir[MaxDir], fname[MaxFname], ext[MaxExt];
        _splitpath(c.path, drive, dir, fname, ext);
        EXPECT_STREQ(drive, c.drive) << c.path;
        EXPECT_STREQ(dir, c.dir) << c.path;
        EXPECT_STREQ(fname, c.fname) << c.path;
        EXPECT_STREQ(ext, c.ext) << c.path;

        char joined[MaxPath];
        _makepath(joined, drive, dir, fname, ext);
        EXPECT_STREQ(joined, c.path);
    }
}

TEST(PathParts, NullOutputsAreSkippedAndLongPartsAreCut)
{
    char fname[MaxFname];
    _splitpath("/a/b.c", nullptr, nullptr, fname, nullptr);
    EXPECT_STREQ(fname, "b");

    std::string longName(1000, 'n');
    std::string path = "/d/" + longName + ".e";
    char dir[MaxDir], ext[MaxExt];
    _splitpath(path.c_str(), nullptr, dir, fname, ext);
    EXPECT_EQ(std::string(fname), longName.substr(0, MaxFname - 1));
    EXPECT_STREQ(dir, "/d/");
    EXPECT_STREQ(ext, ".e");

    char joined[MaxPath];
    _makepath(joined, nullptr, "/x/", nullptr, ".y");
    EXPECT_STREQ(joined, "/x/.y");

    std::string huge(MaxPath * 2, 'h');
    _makepath(joined, "", huge.c_str(), "tail", ".z");
    EXPECT_EQ(std::string(joined), huge.substr(0, MaxPath - 1));
}

} // namespace Zorvan::Test
