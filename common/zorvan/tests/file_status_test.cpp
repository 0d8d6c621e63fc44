#include "common/zorvan/FileStatus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/time.h>
#include <unistd.h>

namespace Zorvan::Test {
namespace {

std::string tempPath()
{
    char pattern[] = "/tmp/zorvan_file_status_XXXXXX";
    int fd = ::mkstemp(pattern);
    if (fd >= 0)
        ::close(fd);
    return pattern;
}

} // namespace

TEST(FileStatus, SizeAndPackedWriteTime)
{
    std::string path = tempPath();
    FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::string data(1234, 'z');
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    // 2021-07-15 13:45:30 UTC
    struct timeval times[2] = {{1626356730, 0}, {1626356730, 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);

    Zorvan::FileStatus st{};
    EXPECT_EQ(Zorvan::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.size, 1234u);
    EXPECT_EQ(st.writeTime, (15u << 24) | (13u << 16) | (45u << 8) | 30u);

    ::unlink(path.c_str());
    EXPECT_EQ(Zorvan::stat(path.c_str(), &st), -1);
    EXPECT_EQ(Zorvan::stat(nullptr, &st), -1);
    EXPECT_EQ(Zorvan::stat("/tmp", &st), -1); // a folder is not a file
}

TEST(FileStatus, RewindReadsFromTheStartAgain)
{
    std::string path = tempPath();
    FILE *f = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(f, nullptr);
    std::fputs("abc", f);
    Zorvan::rewind(f);
    char buf[4] = {};
    EXPECT_EQ(std::fread(buf, 1, 3, f), 3u);
    EXPECT_STREQ(buf, "abc");
    std::fclose(f);
    ::unlink(path.c_str());
}

} // namespace Zorvan::Test
