// The Z80 interpreter of the Z80 consoles: register record, run loop,
// interrupt entry and the per-prefix executors.
//
// The core is plain functions over one Z80State. It knows nothing of the
// machine around it: memory, ports and the per-line step are reached through
// the functions declared in Z80Bus.h.
#pragma once

#include <bit>
#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Belcrest {

static_assert(std::endian::native == std::endian::little,
              "register pairs overlay their low byte first");

// A 16-bit register pair whose halves are reachable as bytes (low first).
union Z80Pair {
    uint16_t w;
    struct {
        uint8_t l, h;
    };
};

// Bits of Z80State::IFF.
enum : uint8_t {
    Z80Iff1 = 0x01,     // maskable interrupts accepted
    Z80IffIm1 = 0x02,   // interrupt mode 1
    Z80IffIm2 = 0x04,   // interrupt mode 2 (neither bit: mode 0)
    Z80Iff2 = 0x08,
    Z80IffAfterEi = 0x20, // the instruction after EI is still to run
    Z80IffHalted = 0x80,
};

// Interrupt words exchanged with the machine's line step.
enum : uint16_t {
    Z80VectorNone = 0xFFFF,
    Z80VectorNmi = 0xFFFD,
    Z80VectorQuit = 0xFFFE,
};

struct Z80State {
    Z80Pair AF, BC, DE, HL; // F, C, E, L are the low halves
    Z80Pair IX, IY;
    Z80Pair PC, SP;
    Z80Pair AF2, BC2, DE2, HL2; // the alternate set
    uint8_t IFF;
    uint8_t I;
    uint8_t R;
    int32_t linePeriod;      // cycles of the next slice; the line step sets it
    int32_t cyclesLeft;      // cycles left in the current slice
    int32_t savedCyclesLeft; // slice remainder parked while EI's shadow runs
    uint16_t pendingInterrupt;
    uint8_t autoClear;
    uint8_t trapUnknownOpcodes;
    uint32_t userWord; // shown in the unknown-opcode reports
};

// Size of the register image inside a state file.
inline constexpr unsigned Z80ImageSize = 52;

void Z80Reset(Z80State &cpu);

// Runs until the machine marks the frame done (true) or asks to quit
// (false).
bool Z80RunFrame(Z80State &cpu);

// Takes an interrupt: Z80VectorNmi, or a maskable request whose meaning
// depends on the interrupt mode.
void Z80Interrupt(Z80State &cpu, uint16_t vector);

// Prefix executors. For CB, ED, DD and FD the PC points past the prefix; for
// DD CB and FD CB it points at the displacement byte.
void Z80ExecCB(Z80State &cpu);
void Z80ExecED(Z80State &cpu);
void Z80ExecDD(Z80State &cpu);
void Z80ExecFD(Z80State &cpu);
void Z80ExecDDCB(Z80State &cpu);
void Z80ExecFDCB(Z80State &cpu);

// The 52-byte register image of the state file, written field by field.
void Z80WriteImage(const Z80State &cpu, Zorvan::ByteWriter &out);
// Reads a whole image and applies it only when it is complete and sane;
// returns false and leaves cpu untouched otherwise.
bool Z80ReadImage(Z80State &cpu, Zorvan::ByteReader &in);

} // namespace Belcrest
