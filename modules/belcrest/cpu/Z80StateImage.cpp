// The Z80 register image of the state file: 52 bytes, little-endian, each
// register pair low byte first (F before A).
#include "common/zorvan/ByteStream.h"
#include "modules/belcrest/cpu/Z80Cpu.h"

namespace Belcrest {

void Z80WriteImage(const Z80State &cpu, Zorvan::ByteWriter &out)
{
    for (const Z80Pair *p : {&cpu.AF, &cpu.BC, &cpu.DE, &cpu.HL, &cpu.IX, &cpu.IY, &cpu.PC,
                             &cpu.SP, &cpu.AF2, &cpu.BC2, &cpu.DE2, &cpu.HL2})
        out.u16(p->w);
    out.u8(cpu.IFF);
    out.u8(cpu.I);
    out.u8(cpu.R);
    out.u8(0);
    out.i32(cpu.linePeriod);
    out.i32(cpu.cyclesLeft);
    out.i32(cpu.savedCyclesLeft);
    out.u16(cpu.pendingInterrupt);
    out.u8(cpu.autoClear);
    out.u8(cpu.trapUnknownOpcodes);
    out.zeros(4);
    out.u32(cpu.userWord);
}

bool Z80ReadImage(Z80State &cpu, Zorvan::ByteReader &in)
{
    Z80State s = cpu;
    for (Z80Pair *p : {&s.AF, &s.BC, &s.DE, &s.HL, &s.IX, &s.IY, &s.PC, &s.SP, &s.AF2, &s.BC2,
                       &s.DE2, &s.HL2})
        p->w = in.u16();
    s.IFF = in.u8();
    s.I = in.u8();
    s.R = in.u8();
    in.skip(1);
    s.linePeriod = in.i32();
    s.cyclesLeft = in.i32();
    s.savedCyclesLeft = in.i32();
    s.pendingInterrupt = in.u16();
    s.autoClear = in.u8();
    s.trapUnknownOpcodes = in.u8();
    in.skip(4);
    s.userWord = in.u32();
    if (!in.ok())
        return false;
    // Cycle counts far outside a frame could only come from a damaged file;
    // left in, they would overflow the counters as the run loop does its sums.
    // Both mode bits at once name no interrupt mode.
    constexpr int32_t limit = 1 << 24;
    if (s.linePeriod <= 0 || s.linePeriod > limit)
        return false;
    for (int32_t c : {s.cyclesLeft, s.savedCyclesLeft})
        if (c < -limit || c > limit)
            return false;
    if ((s.IFF & (Z80IffIm1 | Z80IffIm2)) == (Z80IffIm1 | Z80IffIm2))
        return false;
    // A pending request is none, an NMI or an 8-bit vector. A quit request
    // belongs to the running session: loaded, it would end the next frame.
    if (s.pendingInterrupt > 0xFF && s.pendingInterrupt != Z80VectorNone &&
        s.pendingInterrupt != Z80VectorNmi)
        return false;
    cpu = s;
    return true;
}

} // namespace Belcrest
