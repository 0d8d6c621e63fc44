// The console CPU's opcode matrix: for each of the 256 opcodes, the
// operation, the addressing mode and the base cost in cycles. The run loop
// builds one handler per opcode from this table at compile time, and the
// cycle table is read off it.
//
// Besides the documented set, the console's CPU runs the combined
// operations (SLO, RLA, SRE, RRA, SAX, LAX, DCP, ISC), the immediates ANC,
// ALR, ARR, AXS, ANE, LXA and a second SBC, the NOP forms with operand bytes
// (whose absolute and indexed forms still read memory), the unstable stores
// SHA, SHX, SHY, TAS and LAS, and twelve opcodes that halt it.
#pragma once

#include <cstdint>

namespace Cindrel::Opcodes {

#pragma GCC visibility push(hidden)

enum Operation : uint8_t {
    ADC, AND, ASL, BCC, BCS, BEQ, BIT, BMI, BNE, BPL, BRK, BVC, BVS, CLC, CLD, CLI, CLV, CMP, CPX, CPY,
    DEC, DEX, DEY, EOR, INC, INX, INY, JMP, JSR, LDA, LDX, LDY, LSR, NOP, ORA, PHA, PHP, PLA, PLP, ROL,
    ROR, RTI, RTS, SBC, SEC, SED, SEI, STA, STX, STY, TAX, TAY, TSX, TXA, TXS, TYA,
    SLO, RLA, SRE, RRA, SAX, LAX, DCP, ISC,
    ANC, ALR, ARR, AXS, ANE, LXA,
    SHA, SHX, SHY, TAS, LAS,
    JAM,
};

// Imp: no operand; Acc: the accumulator; Rel: a branch offset; Ind: JMP's
// pointer; the others as their names say (IzX = (zp,X), IzY = (zp),Y).
enum Mode : uint8_t { Imp, Acc, Imm, Rel, Zp, ZpX, ZpY, Abs, AbX, AbY, IzX, IzY, Ind };

struct Entry {
    Operation operation;
    Mode mode;
    uint8_t cycles; // before page crossings and taken branches
};

// Rows give the high nibble, columns the low nibble.
inline constexpr Entry Table[256] = {
    // 0_
    {BRK, Imp, 7}, {ORA, IzX, 6}, {JAM, Imp, 2}, {SLO, IzX, 8}, {NOP, Zp, 3},  {ORA, Zp, 3},  {ASL, Zp, 5},  {SLO, Zp, 5},
    {PHP, Imp, 3}, {ORA, Imm, 2}, {ASL, Acc, 2}, {ANC, Imm, 2}, {NOP, Abs, 4}, {ORA, Abs, 4}, {ASL, Abs, 6}, {SLO, Abs, 6},
    // 1_
    {BPL, Rel, 2}, {ORA, IzY, 5}, {JAM, Imp, 2}, {SLO, IzY, 8}, {NOP, ZpX, 4}, {ORA, ZpX, 4}, {ASL, ZpX, 6}, {SLO, ZpX, 6},
    {CLC, Imp, 2}, {ORA, AbY, 4}, {NOP, Imp, 2}, {SLO, AbY, 7}, {NOP, AbX, 4}, {ORA, AbX, 4}, {ASL, AbX, 7}, {SLO, AbX, 7},
    // 2_
    {JSR, Abs, 6}, {AND, IzX, 6}, {JAM, Imp, 2}, {RLA, IzX, 8}, {BIT, Zp, 3},  {AND, Zp, 3},  {ROL, Zp, 5},  {RLA, Zp, 5},
    {PLP, Imp, 4}, {AND, Imm, 2}, {ROL, Acc, 2}, {ANC, Imm, 2}, {BIT, Abs, 4}, {AND, Abs, 4}, {ROL, Abs, 6}, {RLA, Abs, 6},
    // 3_
    {BMI, Rel, 2}, {AND, IzY, 5}, {JAM, Imp, 2}, {RLA, IzY, 8}, {NOP, ZpX, 4}, {AND, ZpX, 4}, {ROL, ZpX, 6}, {RLA, ZpX, 6},
    {SEC, Imp, 2}, {AND, AbY, 4}, {NOP, Imp, 2}, {RLA, AbY, 7}, {NOP, AbX, 4}, {AND, AbX, 4}, {ROL, AbX, 7}, {RLA, AbX, 7},
    // 4_
    {RTI, Imp, 6}, {EOR, IzX, 6}, {JAM, Imp, 2}, {SRE, IzX, 8}, {NOP, Zp, 3},  {EOR, Zp, 3},  {LSR, Zp, 5},  {SRE, Zp, 5},
    {PHA, Imp, 3}, {EOR, Imm, 2}, {LSR, Acc, 2}, {ALR, Imm, 2}, {JMP, Abs, 3}, {EOR, Abs, 4}, {LSR, Abs, 6}, {SRE, Abs, 6},
    // 5_
    {BVC, Rel, 2}, {EOR, IzY, 5}, {JAM, Imp, 2}, {SRE, IzY, 8}, {NOP, ZpX, 4}, {EOR, ZpX, 4}, {LSR, ZpX, 6}, {SRE, ZpX, 6},
    {CLI, Imp, 2}, {EOR, AbY, 4}, {NOP, Imp, 2}, {SRE, AbY, 7}, {NOP, AbX, 4}, {EOR, AbX, 4}, {LSR, AbX, 7}, {SRE, AbX, 7},
    // 6_
    {RTS, Imp, 6}, {ADC, IzX, 6}, {JAM, Imp, 2}, {RRA, IzX, 8}, {NOP, Zp, 3},  {ADC, Zp, 3},  {ROR, Zp, 5},  {RRA, Zp, 5},
    {PLA, Imp, 4}, {ADC, Imm, 2}, {ROR, Acc, 2}, {ARR, Imm, 2}, {JMP, Ind, 5}, {ADC, Abs, 4}, {ROR, Abs, 6}, {RRA, Abs, 6},
    // 7_
    {BVS, Rel, 2}, {ADC, IzY, 5}, {JAM, Imp, 2}, {RRA, IzY, 8}, {NOP, ZpX, 4}, {ADC, ZpX, 4}, {ROR, ZpX, 6}, {RRA, ZpX, 6},
    {SEI, Imp, 2}, {ADC, AbY, 4}, {NOP, Imp, 2}, {RRA, AbY, 7}, {NOP, AbX, 4}, {ADC, AbX, 4}, {ROR, AbX, 7}, {RRA, AbX, 7},
    // 8_
    {NOP, Imm, 2}, {STA, IzX, 6}, {NOP, Imm, 2}, {SAX, IzX, 6}, {STY, Zp, 3},  {STA, Zp, 3},  {STX, Zp, 3},  {SAX, Zp, 3},
    {DEY, Imp, 2}, {NOP, Imm, 2}, {TXA, Imp, 2}, {ANE, Imm, 2}, {STY, Abs, 4}, {STA, Abs, 4}, {STX, Abs, 4}, {SAX, Abs, 4},
    // 9_
    {BCC, Rel, 2}, {STA, IzY, 6}, {JAM, Imp, 2}, {SHA, IzY, 6}, {STY, ZpX, 4}, {STA, ZpX, 4}, {STX, ZpY, 4}, {SAX, ZpY, 4},
    {TYA, Imp, 2}, {STA, AbY, 5}, {TXS, Imp, 2}, {TAS, AbY, 5}, {SHY, AbX, 5}, {STA, AbX, 5}, {SHX, AbY, 5}, {SHA, AbY, 5},
    // A_
    {LDY, Imm, 2}, {LDA, IzX, 6}, {LDX, Imm, 2}, {LAX, IzX, 6}, {LDY, Zp, 3},  {LDA, Zp, 3},  {LDX, Zp, 3},  {LAX, Zp, 3},
    {TAY, Imp, 2}, {LDA, Imm, 2}, {TAX, Imp, 2}, {LXA, Imm, 2}, {LDY, Abs, 4}, {LDA, Abs, 4}, {LDX, Abs, 4}, {LAX, Abs, 4},
    // B_
    {BCS, Rel, 2}, {LDA, IzY, 5}, {JAM, Imp, 2}, {LAX, IzY, 5}, {LDY, ZpX, 4}, {LDA, ZpX, 4}, {LDX, ZpY, 4}, {LAX, ZpY, 4},
    {CLV, Imp, 2}, {LDA, AbY, 4}, {TSX, Imp, 2}, {LAS, AbY, 4}, {LDY, AbX, 4}, {LDA, AbX, 4}, {LDX, AbY, 4}, {LAX, AbY, 4},
    // C_
    {CPY, Imm, 2}, {CMP, IzX, 6}, {NOP, Imm, 2}, {DCP, IzX, 8}, {CPY, Zp, 3},  {CMP, Zp, 3},  {DEC, Zp, 5},  {DCP, Zp, 5},
    {INY, Imp, 2}, {CMP, Imm, 2}, {DEX, Imp, 2}, {AXS, Imm, 2}, {CPY, Abs, 4}, {CMP, Abs, 4}, {DEC, Abs, 6}, {DCP, Abs, 6},
    // D_
    {BNE, Rel, 2}, {CMP, IzY, 5}, {JAM, Imp, 2}, {DCP, IzY, 8}, {NOP, ZpX, 4}, {CMP, ZpX, 4}, {DEC, ZpX, 6}, {DCP, ZpX, 6},
    {CLD, Imp, 2}, {CMP, AbY, 4}, {NOP, Imp, 2}, {DCP, AbY, 7}, {NOP, AbX, 4}, {CMP, AbX, 4}, {DEC, AbX, 7}, {DCP, AbX, 7},
    // E_
    {CPX, Imm, 2}, {SBC, IzX, 6}, {NOP, Imm, 2}, {ISC, IzX, 8}, {CPX, Zp, 3},  {SBC, Zp, 3},  {INC, Zp, 5},  {ISC, Zp, 5},
    {INX, Imp, 2}, {SBC, Imm, 2}, {NOP, Imp, 2}, {SBC, Imm, 2}, {CPX, Abs, 4}, {SBC, Abs, 4}, {INC, Abs, 6}, {ISC, Abs, 6},
    // F_
    {BEQ, Rel, 2}, {SBC, IzY, 5}, {JAM, Imp, 2}, {ISC, IzY, 8}, {NOP, ZpX, 4}, {SBC, ZpX, 4}, {INC, ZpX, 6}, {ISC, ZpX, 6},
    {SED, Imp, 2}, {SBC, AbY, 4}, {NOP, Imp, 2}, {ISC, AbY, 7}, {NOP, AbX, 4}, {SBC, AbX, 4}, {INC, AbX, 7}, {ISC, AbX, 7},
};

#pragma GCC visibility pop

} // namespace Cindrel::Opcodes
