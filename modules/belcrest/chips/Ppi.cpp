#include "modules/belcrest/chips/Ppi.h"

#include "common/zorvan/ByteStream.h"

namespace Belcrest {

namespace {

// Control-word bits that turn a port (or half of port C) into an input.
enum : uint8_t {
    LowCInput = 0x01,
    BInput = 0x02,
    HighCInput = 0x08,
    AInput = 0x10,
    ModeSet = 0x80,
};

void UpdateOutputs(Ppi &p)
{
    p.outA = (p.control & AInput) ? 0 : p.latchA;
    p.outB = (p.control & BInput) ? 0 : p.latchB;
    p.outC = uint8_t(((p.control & HighCInput) ? 0 : (p.latchC & 0xF0)) |
                     ((p.control & LowCInput) ? 0 : (p.latchC & 0x0F)));
}

} // namespace

void PpiReset(Ppi &ppi)
{
    ppi = Ppi{};
    ppi.control = 0x9B; // mode 0, every port an input
}

bool PpiWrite(Ppi &ppi, unsigned port, uint8_t value)
{
    switch (port) {
    case 0: ppi.latchA = value; break;
    case 1: ppi.latchB = value; break;
    case 2: ppi.latchC = value; break;
    case 3:
        if (value & ModeSet) {
            ppi.control = value;
        } else {
            // Port C bit set/reset.
            const uint8_t bit = uint8_t(1u << ((value >> 1) & 7));
            ppi.latchC = (value & 1) ? uint8_t(ppi.latchC | bit) : uint8_t(ppi.latchC & ~bit);
        }
        break;
    default:
        return false;
    }
    UpdateOutputs(ppi);
    return true;
}

uint8_t PpiRead(const Ppi &ppi, unsigned port)
{
    switch (port) {
    case 0: return (ppi.control & AInput) ? ppi.inA : ppi.latchA;
    case 1: return (ppi.control & BInput) ? ppi.inB : ppi.latchB;
    case 2:
        return uint8_t((((ppi.control & HighCInput) ? ppi.inC : ppi.latchC) & 0xF0) |
                       (((ppi.control & LowCInput) ? ppi.inC : ppi.latchC) & 0x0F));
    case 3: return ppi.control;
    default: return 0;
    }
}

void PpiWriteImage(const Ppi &ppi, Zorvan::ByteWriter &out)
{
    for (uint8_t b : {ppi.latchA, ppi.latchB, ppi.latchC, ppi.control, ppi.outA, ppi.outB,
                      ppi.outC, ppi.inA, ppi.inB, ppi.inC})
        out.u8(b);
}

bool PpiReadImage(Ppi &ppi, Zorvan::ByteReader &in)
{
    Ppi p;
    for (uint8_t *b : {&p.latchA, &p.latchB, &p.latchC, &p.control, &p.outA, &p.outB, &p.outC,
                       &p.inA, &p.inB, &p.inC})
        *b = in.u8();
    if (!in.ok())
        return false;
    ppi = p;
    return true;
}

} // namespace Belcrest
