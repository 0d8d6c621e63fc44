// The emulated ARM7 CPU of the handheld: one plain record that the run loop,
// the opcode handlers, the machine and the state file all share, plus the
// mode switch with its r13/r14 banking and the early exit that cuts the
// current time slice short.
#pragma once

#include <cstdint>

namespace Zorvan {
class ByteWriter;
class ByteReader;
}

namespace Tavrin {

// 316 bytes in the state file; the in-memory record keeps the same order so
// the reserved words stay where the file expects them.
struct ArmState {
    uint32_t cpsr;
    uint32_t r[16];
    uint32_t reserved68;
    uint32_t r13Usr, r14Usr;
    uint32_t spsrSvc, r13Svc, r14Svc;
    uint32_t spsrAbt, r13Abt, r14Abt;
    uint32_t spsrIrq, r13Irq, r14Irq;
    uint32_t spsrUnd, r13Und, r14Und;
    uint32_t spsrFiq;
    uint32_t reserved132[7];
    uint32_t reserved160[16];
    uint32_t cp15[16];
    uint32_t irqRequest;
    int32_t sliceLength;
    int32_t cyclesLeft;
    int32_t savedCycles;
    uint8_t earlyExit;
    uint8_t highVectors;
    uint8_t reserved306[6];
    uint8_t reportUnknown;
    uint8_t padding313[3];
};
static_assert(sizeof(ArmState) == 316, "ArmState must keep its stored layout");

inline constexpr uint32_t ArmStateImageSize = 316;

// Status-word bits.
inline constexpr uint32_t FlagN = 1u << 31;
inline constexpr uint32_t FlagZ = 1u << 30;
inline constexpr uint32_t FlagC = 1u << 29;
inline constexpr uint32_t FlagV = 1u << 28;
inline constexpr uint32_t FlagI = 1u << 7;
inline constexpr uint32_t FlagF = 1u << 6;
inline constexpr uint32_t FlagT = 1u << 5;
inline constexpr uint32_t ModeMask = 0x1F;

inline constexpr uint32_t ModeUser = 0x10;
inline constexpr uint32_t ModeFiq = 0x11;
inline constexpr uint32_t ModeIrq = 0x12;
inline constexpr uint32_t ModeSupervisor = 0x13;
inline constexpr uint32_t ModeAbort = 0x17;
inline constexpr uint32_t ModeUndefined = 0x1B;
inline constexpr uint32_t ModeSystem = 0x1F;

// The one console CPU of the machine. The bus functions charge its cycles and
// the BIOS read protection looks at its r15.
extern ArmState ConsoleCpu;

// Where r13 of a mode's bank lives; r14 is the word after it.
inline uint32_t *ArmBankOf(ArmState *s, uint32_t mode)
{
    switch (mode & ModeMask) {
    case ModeUser:
    case ModeSystem: return &s->r13Usr;
    case ModeSupervisor: return &s->r13Svc;
    case ModeAbort: return &s->r13Abt;
    case ModeIrq: return &s->r13Irq;
    default: return &s->r13Und; // FIQ and unknown modes share the undefined bank
    }
}

// The saved status word of a mode, or null for user, system and unknown modes.
inline uint32_t *ArmSpsrOf(ArmState *s, uint32_t mode)
{
    switch (mode & ModeMask) {
    case ModeFiq: return &s->spsrFiq;
    case ModeIrq: return &s->spsrIrq;
    case ModeSupervisor: return &s->spsrSvc;
    case ModeAbort: return &s->spsrAbt;
    case ModeUndefined: return &s->spsrUnd;
    default: return nullptr;
    }
}

inline bool ArmHasUserBankLive(uint32_t cpsr)
{
    uint32_t mode = cpsr & ModeMask;
    return mode == ModeUser || mode == ModeSystem;
}

// Cuts the current slice: the first saved count wins until the run loop
// folds it back in.
inline void ArmEarlyExit(ArmState *s)
{
    if (!s->earlyExit) {
        s->savedCycles = s->cyclesLeft;
        s->earlyExit = 1;
        s->cyclesLeft = 0;
    }
}

void ArmReset(ArmState *s, uint8_t highVectors);
void ArmSwitchMode(ArmState *s, uint32_t newCpsr);
void ArmRequestIrq(ArmState *s);
// Taken at the end of a slice when an interrupt is pending and I is clear,
// in every mode; returns whether it was taken.
bool ArmEnterIrq(ArmState *s);

// Restores the status word from the current mode's saved one, if it has one.
inline void ArmRestoreSpsr(ArmState *s)
{
    if (const uint32_t *spsr = ArmSpsrOf(s, s->cpsr))
        ArmSwitchMode(s, *spsr);
}

// The 316-byte state image, field by field. Reading validates the whole
// image before anything is copied into the record.
void ArmWriteImage(const ArmState &s, Zorvan::ByteWriter &out);
bool ArmReadImage(ArmState &s, Zorvan::ByteReader &in);

} // namespace Tavrin
