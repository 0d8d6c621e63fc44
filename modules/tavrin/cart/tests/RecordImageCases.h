// The refusals of a device record's state image: each case changes one byte
// of a good image, and a refused read must leave its record as it was.
#pragma once

#include "common/zorvan/ByteStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace Tavrin::Test {

struct BadByte {
    size_t offset;
    uint8_t value;
    const char *why;
};

template <class Record>
void ExpectEachRefused(const std::vector<uint8_t> &good, const Record &target,
                       bool (*read)(Record &, Zorvan::ByteReader &),
                       void (*write)(const Record &, Zorvan::ByteWriter &), std::initializer_list<BadByte> cases)
{
    Zorvan::ByteWriter before;
    write(target, before);
    for (const BadByte &c : cases) {
        std::vector<uint8_t> image = good;
        image[c.offset] = c.value;
        Record t = target;
        Zorvan::ByteReader in(image);
        EXPECT_FALSE(read(t, in)) << c.why;
        Zorvan::ByteWriter after;
        write(t, after);
        EXPECT_EQ(after.bytes(), before.bytes()) << c.why;
    }
    std::vector<uint8_t> cut(good.begin(), good.end() - 1);
    Record t = target;
    Zorvan::ByteReader in(cut);
    EXPECT_FALSE(read(t, in)) << "cut short";
}

} // namespace Tavrin::Test
