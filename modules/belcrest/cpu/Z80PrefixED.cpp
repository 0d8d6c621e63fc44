// The ED-prefixed set: port I/O through C, 16-bit ADC/SBC and loads, NEG,
// interrupt modes and returns, I and R, RRD/RLD, the block instructions and
// the trap opcode ED FE.
#include "modules/belcrest/cpu/Z80Ops.h"

#include <cinttypes>
#include <cstdio>

namespace Belcrest {

using namespace Z80;

namespace {

// ---- Block steps: one transfer each; true when the instruction is done ----

template <int dir>
bool LoadStep(Z80State &s)
{
    WriteMemory(s.DE.w, Read8(s.HL.w));
    s.HL.w = uint16_t(s.HL.w + dir);
    s.DE.w = uint16_t(s.DE.w + dir);
    s.BC.w = uint16_t(s.BC.w - 1);
    s.AF.l = uint8_t((s.AF.l & 0xE9) | (s.BC.w ? FlagP : 0));
    return s.BC.w == 0;
}

template <int dir>
bool CompareStep(Z80State &s)
{
    const uint8_t a = s.AF.h, v = Read8(s.HL.w);
    const uint8_t r = uint8_t(a - v);
    s.HL.w = uint16_t(s.HL.w + dir);
    s.BC.w = uint16_t(s.BC.w - 1);
    s.AF.l = uint8_t(SzTable[r] | ((a ^ v ^ r) & FlagH) | (s.AF.l & FlagC) |
                     (s.BC.w ? FlagP : 0) | FlagN);
    return s.BC.w == 0 || r == 0;
}

template <int dir>
bool InStep(Z80State &s)
{
    WriteMemory(s.HL.w, ReadPort(s.BC.l));
    s.HL.w = uint16_t(s.HL.w + dir);
    s.BC.h = uint8_t(s.BC.h - 1);
    s.AF.l = s.BC.h ? 0x02 : 0x42;
    return s.BC.h == 0;
}

template <int dir>
bool OutStep(Z80State &s)
{
    const uint8_t v = Read8(s.HL.w);
    WritePort(s.BC.l, v);
    s.HL.w = uint16_t(s.HL.w + dir);
    s.BC.h = uint8_t(s.BC.h - 1);
    s.AF.l = uint8_t(0x02 | (v + s.HL.l > 255 ? 0x11 : 0) | (s.BC.h ? 0 : 0x40));
    return s.BC.h == 0;
}

// The repeating forms loop inside one execution at 21 cycles a step, the
// last step 16. A count of 0 runs the full 65,536 (256) steps. When the
// slice runs out first the PC goes back onto the instruction, which resumes
// after the line step.
template <bool (*Step)(Z80State &)>
void Repeat(Z80State &s)
{
    s.cyclesLeft += 4; // the first step includes what the ED prefix paid
    for (;;) {
        s.cyclesLeft -= 21;
        if (Step(s)) {
            s.cyclesLeft += 5;
            return;
        }
        if (s.cyclesLeft <= 0) {
            s.PC.w = uint16_t(s.PC.w - 2);
            return;
        }
    }
}

void Unrecognized(Z80State &s, uint8_t op)
{
    if (s.trapUnknownOpcodes)
        std::printf("[Z80 %" PRIX32 "] Unrecognized instruction: ED %02X at PC=%04X\n",
                    s.userWord, unsigned(op), unsigned(uint16_t(s.PC.w - 2)));
}

Z80Pair &PairSP(Z80State &s, int rr)
{
    switch (rr) {
    case 0: return s.BC;
    case 1: return s.DE;
    case 2: return s.HL;
    default: return s.SP;
    }
}

uint8_t &RegByCode(Z80State &s, int r) // 0-7 without 6
{
    switch (r) {
    case 0: return s.BC.h;
    case 1: return s.BC.l;
    case 2: return s.DE.h;
    case 3: return s.DE.l;
    case 4: return s.HL.h;
    case 5: return s.HL.l;
    default: return s.AF.h;
    }
}

uint8_t InterruptFlagsOf(const Z80State &s)
{
    return (s.IFF & Z80Iff2) ? FlagP : 0;
}

} // namespace

void Z80ExecED(Z80State &s)
{
    const uint8_t op = Fetch8(s);
    s.cyclesLeft -= CyclesED[op];
    const int y = (op >> 3) & 7, p = y >> 1;

    switch (op) {
    case 0x40: case 0x48: case 0x50: case 0x58:
    case 0x60: case 0x68: case 0x70: case 0x78: { // IN r,(C); ED 70 sets F only
        const uint8_t v = ReadPort(s.BC.l);
        s.AF.l = uint8_t(SzpTable[v] | (s.AF.l & FlagC));
        if (y != 6)
            RegByCode(s, y) = v;
        break;
    }
    case 0x41: case 0x49: case 0x51: case 0x59:
    case 0x61: case 0x69: case 0x79: // OUT (C),r
        WritePort(s.BC.l, RegByCode(s, y));
        break;
    case 0x42: case 0x52: case 0x62: case 0x72:
        Sbc16(s, PairSP(s, p).w);
        break;
    case 0x4A: case 0x5A: case 0x6A: case 0x7A:
        Adc16(s, PairSP(s, p).w);
        break;
    case 0x43: case 0x53: case 0x63: case 0x73:
        Write16(Fetch16(s), PairSP(s, p).w);
        break;
    case 0x4B: case 0x5B: case 0x6B: case 0x7B:
        PairSP(s, p).w = Read16(Fetch16(s));
        break;
    case 0x44: { // NEG
        const uint8_t a = s.AF.h, r = uint8_t(0 - a);
        s.AF.h = r;
        s.AF.l = uint8_t(SzTable[r] | ((a ^ r) & FlagH) | (a ? FlagC : 0) |
                         (a == 0x80 ? FlagP : 0) | FlagN);
        break;
    }
    case 0x45: // RETN
        s.IFF = uint8_t((s.IFF & ~Z80Iff1) | ((s.IFF & Z80Iff2) ? Z80Iff1 : 0));
        s.PC.w = Pop(s);
        break;
    case 0x4D: // RETI
        s.PC.w = Pop(s);
        break;
    case 0x46: case 0x56: case 0x5E: {
        const uint8_t mode = op == 0x46 ? 0 : op == 0x56 ? Z80IffIm1 : Z80IffIm2;
        s.IFF = uint8_t((s.IFF & ~(Z80IffIm1 | Z80IffIm2)) | mode);
        break;
    }
    case 0x47: // LD I,A
        s.I = s.AF.h;
        break;
    case 0x4F: // LD R,A: R keeps its own count
        break;
    case 0x57: // LD A,I
        s.AF.h = s.I;
        s.AF.l = uint8_t(SzTable[s.I] | (s.AF.l & FlagC) | InterruptFlagsOf(s));
        break;
    case 0x5F: // LD A,R: a count that moves with the cycles spent
        s.R = uint8_t(s.R + 1);
        s.AF.h = uint8_t(s.R - s.cyclesLeft);
        s.AF.l = uint8_t(SzTable[s.AF.h] | (s.AF.l & FlagC) | InterruptFlagsOf(s));
        break;
    case 0x67: { // RRD
        const uint8_t m = Read8(s.HL.w), a = s.AF.h;
        WriteMemory(s.HL.w, uint8_t(a << 4 | m >> 4));
        s.AF.h = uint8_t((a & 0xF0) | (m & 0x0F));
        s.AF.l = uint8_t(SzpTable[s.AF.h] | (s.AF.l & FlagC));
        break;
    }
    case 0x6F: { // RLD
        const uint8_t m = Read8(s.HL.w), a = s.AF.h;
        WriteMemory(s.HL.w, uint8_t(m << 4 | (a & 0x0F)));
        s.AF.h = uint8_t((a & 0xF0) | m >> 4);
        s.AF.l = uint8_t(SzpTable[s.AF.h] | (s.AF.l & FlagC));
        break;
    }
    case 0xA0: LoadStep<1>(s); break;
    case 0xA8: LoadStep<-1>(s); break;
    case 0xA1: CompareStep<1>(s); break;
    case 0xA9: CompareStep<-1>(s); break;
    case 0xA2: InStep<1>(s); break;
    case 0xAA: InStep<-1>(s); break;
    case 0xA3: OutStep<1>(s); break;
    case 0xAB: OutStep<-1>(s); break;
    case 0xB0: Repeat<LoadStep<1>>(s); break;
    case 0xB8: Repeat<LoadStep<-1>>(s); break;
    case 0xB1: Repeat<CompareStep<1>>(s); break;
    case 0xB9: Repeat<CompareStep<-1>>(s); break;
    case 0xB2: Repeat<InStep<1>>(s); break;
    case 0xBA: Repeat<InStep<-1>>(s); break;
    case 0xB3: Repeat<OutStep<1>>(s); break;
    case 0xBB: Repeat<OutStep<-1>>(s); break;
    case 0xFE:
        TrapHandler(s);
        break;
    case 0xED: // a second prefix begins a new instruction
        s.PC.w = uint16_t(s.PC.w - 1);
        break;
    default:
        Unrecognized(s, op);
        break;
    }
}

} // namespace Belcrest
