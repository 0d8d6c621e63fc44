// The BIOS calls on memory: copies, affine set-ups, bit unpacking, and the
// decompressors fed by small encoders written here.
#include "modules/tavrin/bios/tests/BiosFixture.h"

namespace Tavrin::Test {
namespace {

constexpr uint32_t Vram = 0x06000000;

std::vector<uint8_t> Header(uint32_t type, size_t length)
{
    return {uint8_t(type), uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16)};
}

std::vector<uint8_t> Sample(size_t n)
{
    // Runs, repeats and noise, so every encoder has something to do.
    std::vector<uint8_t> bytes;
    uint32_t x = 7;
    while (bytes.size() < n) {
        x = x * 1103515245 + 12345;
        const uint32_t kind = x >> 28;
        if (kind < 5) {
            bytes.insert(bytes.end(), 3 + (x >> 8) % 20, uint8_t(x >> 16));
        } else if (kind < 10 && bytes.size() > 20) {
            const size_t from = bytes.size() - 2 - (x >> 8) % 18;
            for (size_t i = 0; i < 3 + (x >> 4) % 10; ++i)
                bytes.push_back(bytes[from + i]);
        } else {
            bytes.push_back(uint8_t(x >> 12));
        }
    }
    bytes.resize(n);
    return bytes;
}

std::vector<uint8_t> RunLengthEncode(const std::vector<uint8_t> &in)
{
    std::vector<uint8_t> out = Header(0x30, in.size());
    size_t i = 0;
    while (i < in.size()) {
        size_t run = 1;
        while (i + run < in.size() && in[i + run] == in[i] && run < 130)
            ++run;
        if (run >= 3) {
            out.push_back(uint8_t(0x80 | (run - 3)));
            out.push_back(in[i]);
            i += run;
            continue;
        }
        size_t n = 0;
        while (i + n < in.size() && n < 128 &&
               !(i + n + 2 < in.size() && in[i + n] == in[i + n + 1] && in[i + n] == in[i + n + 2]))
            ++n;
        out.push_back(uint8_t(n - 1));
        out.insert(out.end(), in.begin() + long(i), in.begin() + long(i + n));
        i += n;
    }
    return out;
}

// Greedy, with displacements of 2 or more so the halfword variant can read
// every byte it copies.
std::vector<uint8_t> Lz77Encode(const std::vector<uint8_t> &in)
{
    std::vector<uint8_t> out = Header(0x10, in.size());
    size_t i = 0;
    while (i < in.size()) {
        const size_t flagAt = out.size();
        out.push_back(0);
        for (int bit = 7; bit >= 0 && i < in.size(); --bit) {
            size_t best = 0, bestDisp = 0;
            for (size_t disp = 2; disp <= 4096 && disp <= i; ++disp) {
                size_t n = 0;
                while (n < 18 && i + n < in.size() && in[i + n] == in[i + n - disp])
                    ++n;
                if (n > best)
                    best = n, bestDisp = disp;
            }
            if (best >= 3) {
                out[flagAt] |= uint8_t(1 << bit);
                out.push_back(uint8_t((best - 3) << 4 | (bestDisp - 1) >> 8));
                out.push_back(uint8_t(bestDisp - 1));
                i += best;
            } else {
                out.push_back(in[i++]);
            }
        }
    }
    return out;
}

// A fixed tree of four 8-bit symbols with 2-bit codes: 00, 01, 10, 11.
std::vector<uint8_t> HuffmanEncode(const std::vector<uint8_t> &in, const uint8_t symbols[4])
{
    std::vector<uint8_t> out = Header(0x28, in.size());
    const std::vector<uint8_t> tree = {3, 0x00, 0xC0, 0xC1, symbols[0], symbols[1], symbols[2], symbols[3]};
    out.insert(out.end(), tree.begin(), tree.end());
    std::vector<uint32_t> words(1, 0);
    uint32_t bits = 0;
    for (uint8_t b : in) {
        uint32_t code = 0;
        while (symbols[code] != b)
            ++code;
        for (int k = 1; k >= 0; --k) {
            if (bits == 32)
                words.push_back(0), bits = 0;
            words.back() |= (code >> k & 1) << (31 - bits);
            ++bits;
        }
    }
    for (uint32_t w : words)
        for (int k = 0; k < 4; ++k)
            out.push_back(uint8_t(w >> (8 * k)));
    return out;
}

std::vector<uint8_t> DiffEncode(const std::vector<uint8_t> &in)
{
    std::vector<uint8_t> out = Header(0x81, in.size());
    uint8_t last = 0;
    for (uint8_t b : in)
        out.push_back(uint8_t(b - last)), last = b;
    return out;
}

using BiosMemoryTest = BiosTest;

TEST_F(BiosMemoryTest, CpuSetCopiesAndFills)
{
    BusWrite32(0x03001000, 0xDEADBEEF);
    Call(0x0B, {0x03001000, Ewram, 0x10000 | 1u << 24 | 1u << 26});
    EXPECT_EQ(BusRead32(Ewram), 0xDEADBEEFu);
    EXPECT_EQ(BusRead32(Ewram + 0x3FFFC), 0xDEADBEEFu) << "0x10000 words fill all of it";

    Call(0x0B, {0x03001000, Ewram + 0x10, 0x04000000}); // count 0
    EXPECT_EQ(BusRead32(Ewram + 0x10), 0xDEADBEEFu);

    for (uint32_t i = 0; i < 4; ++i)
        BusWrite16(0x03001000 + 2 * i, 0x1110 + i);
    Call(0x0B, {0x03001001, Ewram + 0x101, 3}); // halfwords, addresses aligned down
    EXPECT_EQ(BusRead16(Ewram + 0x100), 0x1110u);
    EXPECT_EQ(BusRead16(Ewram + 0x104), 0x1112u);
    EXPECT_EQ(BusRead16(Ewram + 0x106), 0xDEADu);
}

TEST_F(BiosMemoryTest, CpuFastSetWorksInBlocksOfEight)
{
    for (uint32_t i = 0; i < 16; ++i)
        BusWrite32(0x03001000 + 4 * i, i + 1);
    std::memset(MachineBlocks.ewram, 0, 0x100);
    Call(0x0C, {0x03001000, Ewram, 1});
    EXPECT_EQ(BusRead32(Ewram + 28), 8u);
    EXPECT_EQ(BusRead32(Ewram + 32), 0u);
    Call(0x0C, {0x00000000, Ewram + 0x40, 8}); // BIOS source: refused
    EXPECT_EQ(BusRead32(Ewram + 0x40), 0u);
    Call(0x0C, {0x03001004, Ewram + 0x80, 9 | 1u << 24});
    EXPECT_EQ(BusRead32(Ewram + 0x80 + 60), 2u) << "fill of 16 words";
}

// The BIOS takes the angle's top byte into a table of 1.14 sines and cuts
// each product back to 8 fraction bits, rounding down, so a negative
// product loses a little more than a positive one.
TEST_F(BiosMemoryTest, AffineSetUpsFromTheSineTable)
{
    // BgAffineSet: centre (16.0, 32.0), screen (8, 4), scale 1 by 1, then a
    // quarter turn at scale 1 by 2, then 315 degrees.
    const uint32_t src = Ewram + 0x100, dst = Ewram + 0x200;
    const uint16_t records[3][10] = {{0x1000, 0, 0x2000, 0, 8, 4, 0x100, 0x100, 0x2000, 0},
                                     {0, 0, 0, 0, 0, 0, 0x100, 0x200, 0x40FF, 0},
                                     {0, 0, 0, 0, 0, 0, 0x100, 0x100, 0xE000, 0}};
    for (int r = 0; r < 3; ++r)
        for (int i = 0; i < 10; ++i)
            BusWrite16(src + 20 * r + 2 * i, records[r][i]);
    Call(0x0E, {src, dst, 3});
    // sin 45 = 11585 / 16384: 256 * 11585 >> 14 = 181.
    EXPECT_EQ(BusRead16(dst), 181u);
    EXPECT_EQ(BusRead16(dst + 2), 0xFF4Bu);
    EXPECT_EQ(BusRead16(dst + 4), 181u);
    EXPECT_EQ(BusRead16(dst + 6), 181u);
    EXPECT_EQ(BusRead32(dst + 8), uint32_t(0x1000 + 4 * 181 - 8 * 181));
    EXPECT_EQ(BusRead32(dst + 12), uint32_t(0x2000 - 4 * 181 - 8 * 181));
    // The table holds a quarter turn exactly; the angle's low byte is not
    // looked at.
    EXPECT_EQ(BusRead16(dst + 16), 0u);
    EXPECT_EQ(BusRead16(dst + 18), 0xFF00u);
    EXPECT_EQ(BusRead16(dst + 20), 0x0200u);
    EXPECT_EQ(BusRead16(dst + 22), 0u);
    // At 315 degrees 256 * -11585 >> 14 rounds down to -182.
    EXPECT_EQ(BusRead16(dst + 32), 181u);
    EXPECT_EQ(BusRead16(dst + 34), 182u);
    EXPECT_EQ(BusRead16(dst + 36), 0xFF4Au);
    EXPECT_EQ(BusRead16(dst + 38), 181u);
    // r0-r2 end as the BIOS's loop leaves them.
    EXPECT_EQ(cpu.r[0], src + 60);
    EXPECT_EQ(cpu.r[1], dst + 48);
    EXPECT_EQ(cpu.r[2], 0u);

    // A centre at the bottom of the range wraps round, as the BIOS's
    // registers do: scale 0x7FFF both ways with no turn, screen
    // (32767, -32768).
    BusWrite32(src, 0x80000000u);
    BusWrite32(src + 4, 0x7FFFFFFFu);
    const uint16_t huge[6] = {0x7FFF, 0x8000, 0x7FFF, 0x7FFF, 0, 0};
    for (int i = 0; i < 6; ++i)
        BusWrite16(src + 8 + 2 * i, huge[i]);
    Call(0x0E, {src, dst, 1});
    EXPECT_EQ(BusRead32(dst + 8), 0x80000000u - 0x7FFFu * 0x7FFFu);
    EXPECT_EQ(BusRead32(dst + 12), 0x7FFFFFFFu + 0x7FFFu * 0x8000u);

    // ObjAffineSet with a stride of 8: scale 1 by 2, a quarter turn.
    BusWrite16(src, 0x100);
    BusWrite16(src + 2, 0x200);
    BusWrite16(src + 4, 0x4000);
    Call(0x0F, {src, dst, 1, 8});
    EXPECT_EQ(BusRead16(dst), 0u);
    EXPECT_EQ(BusRead16(dst + 8), 0xFF00u);
    EXPECT_EQ(BusRead16(dst + 16), 0x0200u);
    EXPECT_EQ(BusRead16(dst + 24), 0u);
}

// A count in the billions is worked through a slice at a time: each frame
// ends on time with the call's progress in r0-r2 and the SWI still at r15.
TEST_F(BiosMemoryTest, AHugeAffineCountLetsEveryFrameEnd)
{
    for (uint32_t call : {0x0E0000u, 0x0F0000u}) {
        const uint32_t src = Ewram, dst = Ewram + 0x20000;
        BusWrite32(Code, 0xEF000000 | call);
        cpu.cpsr = 0x1F;
        cpu.r[0] = src;
        cpu.r[1] = dst;
        cpu.r[2] = 0xFFFFFFFF;
        cpu.r[3] = 2;
        cpu.r[15] = Code;
        const uint32_t recordSize = call == 0x0E0000 ? 20 : 8;
        uint32_t done = 0;
        for (int frame = 0; frame < 2; ++frame) {
            ASSERT_EQ(ArmRunFrame(&cpu), 1);
            EXPECT_EQ(cpu.r[15], Code) << "the SWI runs again";
            const uint32_t now = 0xFFFFFFFF - cpu.r[2];
            EXPECT_GT(now, done + 1000) << "records done by frame " << frame;
            EXPECT_EQ(cpu.r[0], src + recordSize * now);
            done = now;
        }
    }
}

TEST_F(BiosMemoryTest, BitUnPack)
{
    struct Case {
        std::vector<uint8_t> source;
        uint8_t srcWidth, dstWidth;
        uint32_t offset;
        std::vector<uint32_t> words;
    };
    const Case cases[] = {
        {{0x80}, 1, 4, 0, {0x10000000}},
        {{0x80}, 1, 4, 0x80000001, {0x21111111}},
        {{0x81}, 1, 4, 1, {0x20000002}},
        {{0x01}, 1, 8, 0, {0x00000001, 0}},
        {{0x21, 0x43}, 4, 8, 0, {0x04030201}},
        {{0x00, 0x05}, 8, 16, 0x80000003, {0x00080003}},
        {{0xFF}, 8, 32, 0x7FFFFFFF, {0x800000FE}},
        {{0x12}, 3, 8, 0, {0xAAAAAAAA}},  // no such source width
        {{0x12}, 8, 12, 0, {0xAAAAAAAA}}, // no such destination width
        {{}, 1, 8, 0, {0xAAAAAAAA}},      // nothing to unpack
    };
    const uint32_t params = Ewram + 0x100, src = Ewram + 0x200, dst = Ewram + 0x300;
    for (const Case &c : cases) {
        for (uint32_t i = 0; i < 8; ++i)
            BusWrite32(dst + 4 * i, 0xAAAAAAAA);
        Put(src, c.source);
        BusWrite16(params, uint32_t(c.source.size()));
        BusWrite8(params + 2, c.srcWidth);
        BusWrite8(params + 3, c.dstWidth);
        BusWrite32(params + 4, c.offset);
        Call(0x10, {src, dst, params});
        for (size_t i = 0; i < c.words.size(); ++i)
            EXPECT_EQ(BusRead32(dst + 4 * uint32_t(i)), c.words[i])
                << int(c.srcWidth) << "->" << int(c.dstWidth) << " word " << i;
    }
}

TEST_F(BiosMemoryTest, DecompressorsRestoreTheirInput)
{
    struct Case {
        uint32_t call;
        std::vector<uint8_t> (*encode)(const std::vector<uint8_t> &);
        uint32_t dest;
        size_t length; // odd lengths in video memory end with a half-empty halfword
    };
    const Case cases[] = {
        {0x14, RunLengthEncode, Ewram + 0x10000, 999}, {0x15, RunLengthEncode, Vram, 999},
        {0x11, Lz77Encode, Ewram + 0x10000, 1001},     {0x12, Lz77Encode, Vram, 1001},
        {0x16, DiffEncode, Ewram + 0x10000, 333},      {0x17, DiffEncode, Vram, 333},
    };
    const uint32_t src = Ewram + 0x100;
    for (const Case &c : cases) {
        std::memset(MachineBlocks.vram, 0xEE, 0x1000);
        std::memset(MachineBlocks.ewram + 0x10000, 0xEE, 0x1000);
        const std::vector<uint8_t> plain = Sample(c.length);
        Put(src, c.encode(plain));
        Call(c.call, {src, c.dest});
        EXPECT_EQ(Get(c.dest, plain.size()), plain) << "call " << std::hex << c.call;
        const uint8_t after = BusRead8(c.dest + uint32_t(plain.size()));
        EXPECT_EQ(after, c.dest == Vram ? 0 : 0xEE) << "call " << std::hex << c.call;
    }
}

TEST_F(BiosMemoryTest, HuffmanAndTheWordFilter)
{
    const uint8_t symbols[4] = {'a', 'b', 'c', 'd'};
    std::vector<uint8_t> plain;
    for (int i = 0; i < 40; ++i)
        plain.push_back(symbols[(i * 7 + i / 3) % 4]);
    const uint32_t src = Ewram + 0x100, dst = Ewram + 0x1000;
    Put(src, HuffmanEncode(plain, symbols));
    Call(0x13, {src, dst});
    EXPECT_EQ(Get(dst, plain.size()), plain);

    // A tree whose root leads back to itself never reaches a symbol.
    Put(src, {0x28, 0x00, 0x10, 0x00, 1, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF});
    BusWrite32(dst + 0x100, 0x12345678);
    Call(0x13, {src, dst + 0x100});
    EXPECT_EQ(BusRead32(dst + 0x100), 0x12345678u);

    // 16-bit running sums, odd byte length rounded up to halfwords.
    Put(src, {0x82, 5, 0, 0, 0x10, 0x00, 0x01, 0x00, 0xFF, 0xFF});
    Call(0x18, {src, dst});
    EXPECT_EQ(BusRead16(dst), 0x10u);
    EXPECT_EQ(BusRead16(dst + 2), 0x11u);
    EXPECT_EQ(BusRead16(dst + 4), 0x10u);
}

TEST_F(BiosMemoryTest, HeadersOutsideCartridgeAndRamAreRefused)
{
    const std::vector<uint8_t> plain = Sample(64);
    Put(Ewram + 0x100, Lz77Encode(plain));
    BusWrite32(Ewram + 0x100, 0x00004020); // wrong type
    BusWrite32(Ewram + 0x1000, 0x11111111);
    Call(0x11, {Ewram + 0x100, Ewram + 0x1000});
    EXPECT_EQ(BusRead32(Ewram + 0x1000), 0x11111111u);
    // The BIOS area holds no compressed data.
    Call(0x11, {0x00000000, Ewram + 0x1000});
    EXPECT_EQ(BusRead32(Ewram + 0x1000), 0x11111111u);
}

} // namespace
} // namespace Tavrin::Test
