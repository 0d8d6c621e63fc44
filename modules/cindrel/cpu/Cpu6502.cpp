// The 6502 run loop: one switch over the opcode whose 256 cases are built
// from the opcode matrix, registers in locals, the machine reached only
// through CpuBus.h.
#include "modules/cindrel/cpu/Cpu6502.h"

#include "modules/cindrel/cpu/Cpu6502Ops.h"
#include "modules/cindrel/cpu/CpuBus.h"

#include <cinttypes>
#include <cstdio>

namespace Cindrel {

using namespace Ops;

namespace {

void PushRecord(Cpu6502State &cpu, uint8_t value)
{
    WriteMemory(uint16_t(0x100 | cpu.S), value);
    cpu.S = uint8_t(cpu.S - 1);
}

uint16_t ReadVector(uint16_t at)
{
    uint16_t lo = ReadMemory(at);
    return uint16_t(lo | (ReadMemory(uint16_t(at + 1)) << 8));
}

// A halting opcode stops the CPU where it stands until reset; it is
// reported once. Out of line and cold: games never mean to run one.
__attribute__((noinline, cold)) void Halt(Cpu6502State &cpu, uint8_t opcode)
{
    if (cpu.halted)
        return;
    cpu.halted = 1;
    if (Cpu6502TrapOpcode(opcode, cpu) == 0 && cpu.trapUnknownOpcodes)
        std::printf("[M6502 %" PRIX32 "] Unrecognized instruction: $%02X at PC=$%04X\n",
                    cpu.userWord, unsigned(opcode), unsigned(cpu.PC));
}

void Save(const Regs &r, Cpu6502State &cpu)
{
    cpu.A = r.a;
    cpu.X = r.x;
    cpu.Y = r.y;
    cpu.P = r.p;
    cpu.S = r.s;
    cpu.PC = r.pc;
    cpu.cyclesLeft = r.cycles;
}

void Load(Regs &r, const Cpu6502State &cpu)
{
    r.a = cpu.A;
    r.x = cpu.X;
    r.y = cpu.Y;
    r.p = cpu.P;
    r.s = cpu.S;
    r.pc = cpu.PC;
    r.cycles = cpu.cyclesLeft;
}

} // namespace

int Cpu6502TrapOpcode(uint8_t, Cpu6502State &) { return 0; }

void Cpu6502ArmIoTraps()
{
    for (uint32_t a = 0x2000; a < 0x2000u + IoFetchSpan; ++a)
        FetchMap[a >> 13][a & 0x1FFF] = IoTrapOpcode;
}

void Cpu6502Reset(Cpu6502State &cpu)
{
    cpu.A = cpu.X = cpu.Y = 0;
    // The console's CPU comes out of reset with IRQs masked: a program
    // meets no interrupt before it has set up a handler and cleared I.
    cpu.P = FlagR | FlagZ | FlagI;
    cpu.S = 0xFF;
    cpu.PC = ReadVector(0xFFFC);
    cpu.cyclesLeft = cpu.linePeriod;
    cpu.pendingInterrupt = IntNone;
    cpu.cliDelay = 0;
    cpu.halted = 0;
    cpu.nmiRaised = 0;
    cpu.polledI = 0;
    cpu.ioFetchedAt = -1;
    Cpu6502ArmIoTraps();
}

namespace {

// The interrupt sequence itself, once the request is known to be taken.
void Enter(Cpu6502State &cpu, int code)
{
    if (cpu.halted)
        return;
    cpu.cyclesLeft -= 7;
    PushRecord(cpu, uint8_t(cpu.PC >> 8));
    PushRecord(cpu, uint8_t(cpu.PC));
    PushRecord(cpu, uint8_t(cpu.P & ~FlagB));
    if (cpu.autoClear && code == cpu.pendingInterrupt)
        cpu.pendingInterrupt = IntNone;
    // The NMI handler runs with IRQs masked too, as on the real CPU, which
    // also leaves D as it was.
    cpu.P |= FlagI;
    cpu.PC = ReadVector(code == IntNmi ? 0xFFFA : 0xFFFE);
}

} // namespace

void Cpu6502Interrupt(Cpu6502State &cpu, int code)
{
    if (code == IntNmi || (code == IntIrq && !(cpu.P & FlagI)))
        Enter(cpu, code);
}

namespace {

using namespace Opcodes;

// The bytes each opcode fetches, itself included.
constexpr std::array<uint8_t, 256> Lengths = [] {
    std::array<uint8_t, 256> t{};
    for (int op = 0; op < 256; ++op) {
        const Opcodes::Mode m = Table[op].mode;
        using enum Opcodes::Mode;
        t[op] = (m == Imp || m == Acc) ? 1 : (m == Abs || m == AbX || m == AbY || m == Ind) ? 3 : 2;
    }
    t[0x00] = 2; // BRK fetches its padding byte
    return t;
}();

// One fetch of code from the I/O space: a read of the device there on
// cycle k of the instruction, whose countdown stood at `cycles` before it,
// left in the fetch map where the interpreter reads it.
uint8_t FetchDevice(Cpu6502State &cpu, int32_t cycles, uint16_t address, int k)
{
    if (uint16_t(address - 0x2000) >= IoFetchSpan)
        return Fetch(address);
    cpu.cyclesLeft = cycles - (k + 1);
    const uint8_t v = ReadMemory(address);
    FetchMap[address >> 13][address & 0x1FFF] = v;
    return v;
}

// Code run from the picture processor's and the sound unit's registers
// reads them, side effects and all, as the console's CPU does: the bytes
// the instruction fetches are read from the devices first, in the order
// the CPU reads them, and the instruction then runs on them as on memory.
// A one-byte instruction also reads the byte after it and drops it. The
// registers are passed by value so that the run loop keeps its own in
// host registers. The marks go back at the end of the slice.
__attribute__((noinline, cold)) void FetchFromIo(Cpu6502State &cpu, uint16_t pc, int32_t cycles)
{
    cpu.ioFetchedAt = pc;
    const uint8_t opcode = FetchDevice(cpu, cycles, pc, 0);
    const int length = Lengths[opcode];
    for (int k = 1; k < length; ++k)
        FetchDevice(cpu, cycles, uint16_t(pc + k), k);
    const uint16_t next = uint16_t(pc + 1);
    if (length == 1 && Table[opcode].operation != JAM && uint16_t(next - 0x2000) < IoFetchSpan) {
        cpu.cyclesLeft = cycles - 2;
        ReadMemory(next);
    }
}

// Puts the marks back over the bytes an instruction read from the devices.
void RearmIoTraps(uint16_t pc)
{
    for (int k = 0; k < 3; ++k) {
        const uint16_t a = uint16_t(pc + k);
        if (uint16_t(a - 0x2000) < IoFetchSpan)
            FetchMap[a >> 13][a & 0x1FFF] = IoTrapOpcode;
    }
}

// One opcode's handler, put together at compile time from its row in the
// opcode matrix.
template <int Opcode>
CPU6502_INLINE void Execute(Regs &r)
{
    constexpr Entry e = Table[Opcode];
    using M = typename ModeOf<e.mode>::type;
    constexpr Operation op = e.operation;
    r.cycles -= e.cycles;

    // Loads, stores and operations on A or an index register.
    if constexpr (op == LDA) Apply<Lda, M>(r);
    else if constexpr (op == LDX) Apply<Ldx, M>(r);
    else if constexpr (op == LDY) Apply<Ldy, M>(r);
    else if constexpr (op == LAX) Apply<Lax, M>(r);
    else if constexpr (op == LAS) Apply<Las, M>(r);
    else if constexpr (op == ADC) Apply<Adc, M>(r);
    else if constexpr (op == SBC) Apply<Sbc, M>(r);
    else if constexpr (op == AND) Apply<And, M>(r);
    else if constexpr (op == ORA) Apply<Ora, M>(r);
    else if constexpr (op == EOR) Apply<Eor, M>(r);
    else if constexpr (op == CMP) Apply<Cmp, M>(r);
    else if constexpr (op == CPX) Apply<Cpx, M>(r);
    else if constexpr (op == CPY) Apply<Cpy, M>(r);
    else if constexpr (op == BIT) Apply<Bit, M>(r);
    else if constexpr (op == ANC) Apply<Anc, M>(r);
    else if constexpr (op == ALR) Apply<Alr, M>(r);
    else if constexpr (op == ARR) Apply<Arr, M>(r);
    else if constexpr (op == AXS) Apply<Axs, M>(r);
    else if constexpr (op == ANE) Apply<Ane, M>(r);
    else if constexpr (op == LXA) Apply<Lxa, M>(r);
    else if constexpr (op == NOP && e.mode != Opcodes::Imp) Apply<Nop, M>(r);
    else if constexpr (op == NOP) {}
    else if constexpr (op == STA) Store<M>(r, r.a);
    else if constexpr (op == STX) Store<M>(r, r.x);
    else if constexpr (op == STY) Store<M>(r, r.y);
    else if constexpr (op == SAX) Store<M>(r, uint8_t(r.a & r.x));
    else if constexpr (op == SHA) StoreAndHigh<M>(r, uint8_t(r.a & r.x));
    else if constexpr (op == SHX) StoreAndHigh<M>(r, r.x);
    else if constexpr (op == SHY) StoreAndHigh<M>(r, r.y);
    else if constexpr (op == TAS) { r.s = uint8_t(r.a & r.x); StoreAndHigh<M>(r, r.s); }

    // Read-modify-write, on memory or A.
    else if constexpr (op == ASL) Modify<Asl, M>(r);
    else if constexpr (op == LSR) Modify<Lsr, M>(r);
    else if constexpr (op == ROL) Modify<Rol, M>(r);
    else if constexpr (op == ROR) Modify<Ror, M>(r);
    else if constexpr (op == INC) Modify<Inc, M>(r);
    else if constexpr (op == DEC) Modify<Dec, M>(r);
    else if constexpr (op == SLO) Modify<Slo, M>(r);
    else if constexpr (op == RLA) Modify<Rla, M>(r);
    else if constexpr (op == SRE) Modify<Sre, M>(r);
    else if constexpr (op == RRA) Modify<Rra, M>(r);
    else if constexpr (op == DCP) Modify<Dcp, M>(r);
    else if constexpr (op == ISC) Modify<Isc, M>(r);
    else if constexpr (op == INX) r.x = Inc(r, r.x);
    else if constexpr (op == INY) r.y = Inc(r, r.y);
    else if constexpr (op == DEX) r.x = Dec(r, r.x);
    else if constexpr (op == DEY) r.y = Dec(r, r.y);

    // Transfers.
    else if constexpr (op == TAX) { r.x = r.a; SetZn(r, r.x); }
    else if constexpr (op == TAY) { r.y = r.a; SetZn(r, r.y); }
    else if constexpr (op == TXA) { r.a = r.x; SetZn(r, r.a); }
    else if constexpr (op == TYA) { r.a = r.y; SetZn(r, r.a); }
    else if constexpr (op == TSX) { r.x = r.s; SetZn(r, r.x); }
    else if constexpr (op == TXS) r.s = r.x;

    // Branches: bits 7-6 pick N, V, C or Z, bit 5 the state that branches.
    else if constexpr (op == BPL || op == BMI || op == BVC || op == BVS || op == BCC || op == BCS ||
                       op == BNE || op == BEQ) {
        constexpr uint8_t flag = std::array<uint8_t, 4>{FlagN, FlagV, FlagC, FlagZ}[Opcode >> 6];
        Branch(r, bool(r.p & flag) == bool(Opcode & 0x20));
    }

    // Jumps, calls and returns.
    else if constexpr (op == JMP && e.mode == Opcodes::Abs) r.pc = FetchWord(r);
    else if constexpr (op == JMP) {
        // The pointer's high byte comes from the same page, as the real
        // CPU fetches it.
        uint16_t at = FetchWord(r);
        uint16_t lo = ReadData(r, at);
        r.pc = uint16_t(lo | (ReadData(r, uint16_t((at & 0xFF00) | ((at + 1) & 0xFF))) << 8));
    }
    else if constexpr (op == JSR) {
        uint16_t lo = FetchOperand(r);
        uint16_t target = uint16_t(lo | (Fetch(r.pc) << 8));
        Push(r, uint8_t(r.pc >> 8)); // address of the call's last byte
        Push(r, uint8_t(r.pc));
        r.pc = target;
    }
    else if constexpr (op == RTS) {
        // The CPU reads the pulled address before stepping past it.
        uint16_t lo = Pull(r);
        const uint16_t back = uint16_t(lo | (Pull(r) << 8));
        DummyRead(r, back);
        r.pc = uint16_t(back + 1);
    }
    else if constexpr (op == RTI) {
        const uint8_t old = r.p;
        r.p = Pull(r) | FlagR;
        ReturnUnmask(r, old);
        uint16_t lo = Pull(r);
        r.pc = uint16_t(lo | (Pull(r) << 8));
    }
    else if constexpr (op == BRK) {
        // D stays as it is: the console's CPU does not clear it on entry.
        ++r.pc; // the padding byte
        Push(r, uint8_t(r.pc >> 8));
        Push(r, uint8_t(r.pc));
        Push(r, r.p | FlagB | FlagR);
        r.p |= FlagI;
        uint16_t lo = ReadData(r, 0xFFFE);
        r.pc = uint16_t(lo | (ReadData(r, 0xFFFF) << 8));
    }

    // Stack.
    else if constexpr (op == PHA) Push(r, r.a);
    else if constexpr (op == PHP) Push(r, r.p | FlagB | FlagR); // B always reads set from PHP
    else if constexpr (op == PLA) { r.a = Pull(r); SetZn(r, r.a); }
    else if constexpr (op == PLP) {
        uint8_t old = r.p;
        r.p = Pull(r) | FlagB | FlagR;
        ChangeMask(r, old);
    }

    // Flags.
    else if constexpr (op == CLC) r.p &= ~FlagC;
    else if constexpr (op == SEC) r.p |= FlagC;
    else if constexpr (op == CLD) r.p &= ~FlagD;
    else if constexpr (op == SED) r.p |= FlagD;
    else if constexpr (op == CLV) r.p &= ~FlagV;
    else if constexpr (op == SEI) {
        const uint8_t old = r.p;
        r.p |= FlagI;
        ChangeMask(r, old);
    }
    else if constexpr (op == CLI) {
        const uint8_t old = r.p;
        r.p &= ~FlagI;
        ChangeMask(r, old);
    }

    // Halting: the CPU stays on the opcode; the rest of the slice passes
    // without it, so the machine's lines and frames go on.
    else if constexpr (op == JAM) {
        r.pc = uint16_t(r.pc - 1);
        if constexpr (Opcode == IoTrapOpcode) {
            // The mark the registers' space holds in the fetch map, not an
            // opcode: the instruction there is read from the devices and
            // run, the slice cut to end after it.
            if (uint16_t(r.pc - 0x2000) < IoFetchSpan && r.cpu.ioFetchedAt < 0 && !r.cpu.halted) {
                r.cycles += e.cycles;
                FetchFromIo(r.cpu, r.pc, r.cycles);
                EndSliceAfter(r, 1);
                return;
            }
        }
        Save(r, r.cpu);
        Halt(r.cpu, uint8_t(Opcode));
        if (r.cycles > 0)
            r.cycles = 0;
    }
    else static_assert(op == JAM, "every operation has a body");
}

} // namespace

int Cpu6502RunFrame(Cpu6502State &cpu)
{
    Regs r{0, 0, 0, 0, 0, 0, 0, cpu};
    Load(r, cpu);
    for (;;) {
        const uint8_t opcode = FetchOperand(r);
        switch (opcode) {
#define CPU6502_CASE(n) \
    case n:             \
        Execute<n>(r);  \
        break;
#define CPU6502_ROW(h)                                                                                   \
    CPU6502_CASE(h + 0x0) CPU6502_CASE(h + 0x1) CPU6502_CASE(h + 0x2) CPU6502_CASE(h + 0x3)              \
    CPU6502_CASE(h + 0x4) CPU6502_CASE(h + 0x5) CPU6502_CASE(h + 0x6) CPU6502_CASE(h + 0x7)              \
    CPU6502_CASE(h + 0x8) CPU6502_CASE(h + 0x9) CPU6502_CASE(h + 0xA) CPU6502_CASE(h + 0xB)              \
    CPU6502_CASE(h + 0xC) CPU6502_CASE(h + 0xD) CPU6502_CASE(h + 0xE) CPU6502_CASE(h + 0xF)
            CPU6502_ROW(0x00) CPU6502_ROW(0x10) CPU6502_ROW(0x20) CPU6502_ROW(0x30)
            CPU6502_ROW(0x40) CPU6502_ROW(0x50) CPU6502_ROW(0x60) CPU6502_ROW(0x70)
            CPU6502_ROW(0x80) CPU6502_ROW(0x90) CPU6502_ROW(0xA0) CPU6502_ROW(0xB0)
            CPU6502_ROW(0xC0) CPU6502_ROW(0xD0) CPU6502_ROW(0xE0) CPU6502_ROW(0xF0)
#undef CPU6502_ROW
#undef CPU6502_CASE
        }

        if (r.cycles > 0)
            continue;

        Save(r, cpu);
        if (cpu.ioFetchedAt >= 0) [[unlikely]] {
            RearmIoTraps(uint16_t(cpu.ioFetchedAt));
            cpu.ioFetchedAt = -1;
        }
        int code = IntNone;
        bool lineDue = true;
        if (cpu.cliDelay) {
            // The cut slice has run out (after CLI/PLP, or where a device
            // asked): carry on with the countdown as if it had not been cut.
            // The waiting interrupt is taken here only while the line still
            // has cycles; otherwise the line step runs first, or a handler
            // that starts with CLI under a line held asserted would never
            // let the frame end.
            cpu.cliDelay = 0;
            cpu.cyclesLeft += cpu.savedCyclesLeft - 1;
            if (cpu.cyclesLeft > 0) {
                code = cpu.pendingInterrupt;
                lineDue = false;
            }
        }
        if (lineDue) {
            code = LineHook(cpu);
            cpu.cyclesLeft += cpu.linePeriod;
            if (code == IntNone)
                code = cpu.pendingInterrupt;
        }
        if (code == IntQuit)
            return 0;
        if (cpu.nmiRaised) {
            cpu.nmiRaised = 0;
            code = IntNmi;
        }
        // The I the last instruction's poll saw: CLI, SEI and PLP change it
        // only after their poll.
        uint8_t masked = cpu.P & FlagI;
        if (cpu.polledI) {
            masked = cpu.polledI & FlagI;
            cpu.polledI = 0;
            // A request that CLI or PLP unmasked is taken after the next
            // instruction, whose poll sees I clear.
            if (masked && !(cpu.P & FlagI) && (code == IntIrq || cpu.pendingInterrupt == IntIrq) &&
                code != IntNmi)
                Cpu6502EndSliceAfter(cpu, 1);
        }
        // A request held under I waits without a call: the frame interrupt
        // of a program that never clears I stays pending for good.
        if (code == IntNmi || (code == IntIrq && !masked))
            Enter(cpu, code);
        if (FrameDone) {
            FrameDone = false;
            return 1;
        }
        Load(r, cpu);
    }
}

} // namespace Cindrel
