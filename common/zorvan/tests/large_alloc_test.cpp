#include "common/zorvan/Console.h"
#include "common/zorvan/LargeAlloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <unistd.h>

namespace Zorvan::Test {

TEST(LargeAlloc, RoundTripGivesZeroedWritablePageAlignedMemory)
{
    clearConsole();
    size_t const size = 3 * 1024 * 1024 + 5;
    auto *block = static_cast<uint8_t *>(WCEAlloc(size));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % uintptr_t(::sysconf(_SC_PAGESIZE)), 0u);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[size - 1], 0);
    block[0] = 0xAA;
    block[size - 1] = 0x55;
    EXPECT_EQ(block[0] + block[size - 1], 0xFF);
    EXPECT_EQ(WCEFree(block), 1);

    std::string log = getConsole();
    EXPECT_NE(log.find("Page size: "), std::string::npos);
    EXPECT_NE(log.find("Attempting to allocate: 3145733 bytes\n"), std::string::npos);
    EXPECT_NE(log.find("Allocation succeeded.\n"), std::string::npos);
    clearConsole();
}

TEST(LargeAlloc, ImpossibleSizesFail)
{
    clearConsole();
    EXPECT_EQ(WCEAlloc(0), nullptr);
    EXPECT_EQ(WCEAlloc(SIZE_MAX), nullptr);
    EXPECT_EQ(WCEAlloc(SIZE_MAX / 2), nullptr);
    EXPECT_NE(std::string(getConsole()).find("Allocation failed.\n"), std::string::npos);
    EXPECT_EQ(WCEFree(nullptr), 0);
    clearConsole();
}

} // namespace Zorvan::Test
