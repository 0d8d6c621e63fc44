#include "modules/tavrin/cart/Eeprom.h"

#include "common/zorvan/ByteStream.h"
#include "modules/tavrin/machine/Machine.h"

#include <cstdio>
#include <cstring>

namespace Tavrin {

EepromRecord EepromState;

namespace {

// Whether the first DMA since the reset has told the address width.
bool widthSettled = false;

uint32_t ClampBits(uint32_t bits) { return bits < 6 ? 6 : bits > 16 ? 16 : bits; }

void SetEcho(uint32_t index, uint16_t value)
{
    if (EepromState.echo)
        std::memcpy(EepromState.echo + 2 * index, &value, 2);
}

uint64_t LoadBlock(const uint8_t *p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

void StoreBlock(uint8_t *p, uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

void ServeRequest()
{
    EepromRecord &e = EepromState;
    uint32_t mask = EepromAddressMask(e.bits);
    e.address = uint32_t(e.input << 3) & mask;
    bool read = (e.input >> e.bits) & 1;
    if (e.trace)
        std::printf(" %s(%X) ", read ? "READ" : "WRITE", uint32_t(e.input & ((1u << e.bits) - 1)));
    if (read) {
        e.output = e.data ? LoadBlock(e.data + e.address) : ~0ull;
        e.address = (e.address + 8) & mask;
        e.dummyLeft = 4;
        if (e.trace)
            std::printf("OUT=%08X%08X ", uint32_t(e.output >> 32), uint32_t(e.output));
        for (uint32_t i = 0; i < 4; ++i)
            SetEcho(i, 0);
        for (uint32_t i = 0; i < 64; ++i)
            SetEcho(4 + i, uint16_t((e.output >> (63 - i)) & 1));
    } else {
        e.dataLeft = 64;
        SetEcho(0, 1);
    }
    e.input = 0;
}

} // namespace

uint32_t EepromAddressMask(uint32_t bits)
{
    uint32_t size = 8u << ClampBits(bits);
    return (size < EepromArraySize ? size : EepromArraySize) - 8;
}

void EepromReset(uint8_t *data, uint32_t bits, uint8_t *echo, uint8_t trace)
{
    EepromState = EepromRecord{};
    EepromState.bits = uint8_t(ClampBits(bits));
    EepromState.data = data;
    EepromState.echo = echo;
    EepromState.trace = trace;
    widthSettled = false;
}

void EepromNoteDmaUnits(uint32_t units)
{
    if (widthSettled || (units != 9 && units != 17 && units != 73 && units != 81))
        return;
    widthSettled = true;
    if ((units == 17 || units == 81) && EepromState.bits != 14) {
        EepromState.bits = 14;
        EepromSizeExp = 14;
    }
}

uint32_t EepromBusRead()
{
    EepromRecord &e = EepromState;
    if (e.trace)
        std::printf("#");
    // A load in the middle of a request cancels it.
    e.requestLeft = 0;
    if (e.dummyLeft) {
        --e.dummyLeft;
        return 0;
    }
    uint32_t bit = uint32_t(e.output >> 63);
    e.output = e.output << 1 | 1;
    return bit;
}

void EepromBusWrite(uint32_t value)
{
    EepromRecord &e = EepromState;
    uint32_t bit = value & 1;
    if (e.trace)
        std::printf("%u", bit);
    e.input = e.input << 1 | bit;
    if (e.dataLeft) {
        if (--e.dataLeft == 0) {
            if (e.data)
                StoreBlock(e.data + e.address, e.input);
            e.address = (e.address + 8) & EepromAddressMask(e.bits);
            if (e.trace)
                std::printf(" IN=%08X%08X ", uint32_t(e.input >> 32), uint32_t(e.input));
            SetEcho(0, 1);
            e.input = 0;
        }
        return;
    }
    if (!e.requestLeft) {
        // No stop bit is awaited: the zeros a game sends after a request
        // arrive here and are ignored.
        if (bit)
            e.requestLeft = uint8_t(e.bits + 1);
        return;
    }
    if (--e.requestLeft == 0)
        ServeRequest();
}

void EepromWriteImage(const EepromRecord &e, Zorvan::ByteWriter &out)
{
    out.u64(e.input);
    out.u64(e.output);
    out.u8(e.bits);
    out.zeros(3);
    out.u32(0); // data pointer
    out.u8(e.requestLeft);
    out.u8(e.dataLeft);
    out.u8(e.dummyLeft);
    out.u8(0);
    out.u32(e.address);
    out.u8(e.trace);
    out.zeros(3);
    out.u32(0); // echo pointer
}

bool EepromReadImage(EepromRecord &e, Zorvan::ByteReader &in)
{
    EepromRecord t = e;
    t.input = in.u64();
    t.output = in.u64();
    t.bits = in.u8();
    in.skip(3 + 4);
    t.requestLeft = in.u8();
    t.dataLeft = in.u8();
    t.dummyLeft = in.u8();
    in.skip(1);
    t.address = in.u32();
    t.trace = in.u8();
    in.skip(3 + 4);
    if (!in.ok() || (t.bits != 6 && t.bits != 14))
        return false;
    // One request or one block of data at a time, each no longer than the
    // protocol allows, and an address the chip could have reached.
    if (t.requestLeft > t.bits + 1 || t.dataLeft > 64 || t.dummyLeft > 4 || (t.requestLeft && t.dataLeft))
        return false;
    if (t.address != (t.address & EepromAddressMask(t.bits)))
        return false;
    e = t;
    widthSettled = false;
    return true;
}

} // namespace Tavrin
