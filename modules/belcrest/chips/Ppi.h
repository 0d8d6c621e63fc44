// Programmable peripheral interface with three 8-bit ports (A, B, C) and a
// control word; only the basic input/output mode is modelled.
#pragma once

#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Belcrest {

struct Ppi {
    uint8_t latchA, latchB, latchC; // output latches
    uint8_t control;
    uint8_t outA, outB, outC; // what the pins drive
    uint8_t inA, inB, inC;    // input latches, set by the machine
};

// Size of one PPI's record in a state file.
inline constexpr unsigned PpiImageSize = 10;

void PpiReset(Ppi &ppi);
// Ports 0-2 are A, B, C and 3 the control port; false for any other port,
// which changes nothing.
bool PpiWrite(Ppi &ppi, unsigned port, uint8_t value);
uint8_t PpiRead(const Ppi &ppi, unsigned port);

// The ten bytes in their order: latches A B C, control, outputs A B C,
// inputs A B C.
void PpiWriteImage(const Ppi &ppi, Zorvan::ByteWriter &out);
bool PpiReadImage(Ppi &ppi, Zorvan::ByteReader &in);

} // namespace Belcrest
