// The decompressors and un-filters. Output goes byte by byte through the
// bus, or paired into halfwords for video memory, which takes no bytes.
#include "modules/tavrin/bios/BiosMemory.h"

#include "modules/tavrin/bus/MemoryBus.h"

namespace Tavrin {

namespace {

class ByteOutput {
public:
    ByteOutput(uint32_t dest, bool halfwords) : at(dest), halfwords(halfwords) {}
    ~ByteOutput()
    {
        // A byte left over goes out alone, its halfword's high half 0.
        if (waiting)
            BusWrite16(at - 1, pending);
    }
    void Put(uint32_t byte)
    {
        byte &= 0xFF;
        if (!halfwords) {
            BusWrite8(at, byte);
        } else if (!waiting) {
            pending = byte;
            waiting = true;
        } else {
            BusWrite16(at - 1, pending | byte << 8);
            waiting = false;
        }
        ++at;
    }
    // The address of the next byte.
    uint32_t Next() const { return at; }

private:
    uint32_t at;
    bool halfwords;
    bool waiting = false;
    uint32_t pending = 0;
};

} // namespace

void BiosLZ77UnComp(uint32_t source, uint32_t dest, uint32_t length, bool halfwords)
{
    ByteOutput out(dest, halfwords);
    uint32_t left = length;
    while (left) {
        const uint32_t flags = BusRead8(source++);
        for (int bit = 7; bit >= 0 && left; --bit) {
            if (!(flags >> bit & 1)) {
                out.Put(BusRead8(source++));
                --left;
                continue;
            }
            const uint32_t b0 = BusRead8(source++);
            const uint32_t b1 = BusRead8(source++);
            uint32_t count = (b0 >> 4) + 3;
            const uint32_t displacement = ((b0 & 15) << 8 | b1) + 1;
            if (count > left)
                count = left;
            for (uint32_t i = 0; i < count; ++i)
                out.Put(BusRead8(out.Next() - displacement));
            left -= count;
        }
    }
}

void BiosRLUnComp(uint32_t source, uint32_t dest, uint32_t length, bool halfwords)
{
    ByteOutput out(dest, halfwords);
    uint32_t left = length;
    while (left) {
        const uint32_t flag = BusRead8(source++);
        if (flag & 0x80) {
            const uint32_t byte = BusRead8(source++);
            for (uint32_t n = (flag & 0x7F) + 3; n && left; --n, --left)
                out.Put(byte);
        } else {
            for (uint32_t n = (flag & 0x7F) + 1; n && left; --n, --left)
                out.Put(BusRead8(source++));
        }
    }
}

void BiosHuffUnComp(uint32_t source, uint32_t dest, uint32_t length, uint32_t bitsPerSymbol)
{
    const uint32_t treeSize = BusRead8(source);
    const uint32_t root = source + 1;
    uint32_t stream = source + (treeSize + 1) * 2;
    const uint32_t symbolMask = bitsPerSymbol >= 32 ? 0xFFFFFFFF : (1u << bitsPerSymbol) - 1;
    // A broken tree may never reach a symbol: the stream is read no further
    // than eight bits for every byte of output.
    uint64_t bitsLeft = uint64_t(length) * 8;
    int64_t outputLeft = length;
    uint32_t node = root;
    uint32_t word = 0, wordBits = 0;
    uint32_t out = 0, outBits = 0;
    while (outputLeft > 0 && bitsLeft > 0) {
        if (wordBits == 0) {
            word = BusRead32(stream);
            stream += 4;
            wordBits = 32;
        }
        const uint32_t bit = word >> 31;
        word <<= 1;
        --wordBits;
        --bitsLeft;
        const uint32_t nodeByte = BusRead8(node);
        const uint32_t child = (node & ~1u) + ((nodeByte & 0x3F) + 1) * 2 + bit;
        const bool isData = nodeByte & (bit ? 0x40 : 0x80);
        if (!isData) {
            node = child;
            continue;
        }
        out |= (BusRead8(child) & symbolMask) << outBits;
        outBits += bitsPerSymbol;
        node = root;
        if (outBits >= 32) {
            BusWrite32(dest, out);
            dest += 4;
            outputLeft -= 4;
            out = outBits = 0;
        }
    }
}

void BiosDiffUnFilter(uint32_t source, uint32_t dest, uint32_t length, uint32_t unit, bool halfwords)
{
    if (unit == 2) {
        uint32_t sum = 0;
        for (uint32_t i = 0; i < (length + 1) / 2; ++i) {
            sum = (sum + BusRead16(source + 2 * i)) & 0xFFFF;
            BusWrite16(dest + 2 * i, sum);
        }
        return;
    }
    ByteOutput out(dest, halfwords);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < length; ++i) {
        sum = (sum + BusRead8(source + i)) & 0xFF;
        out.Put(sum);
    }
}

} // namespace Tavrin
