#include "modules/tavrin/cpu/ArmState.h"

#include "common/zorvan/ByteStream.h"
#include "modules/tavrin/cpu/ArmPrefetch.h"

#include <cstring>

namespace Tavrin {

ArmState ConsoleCpu;

void ArmReset(ArmState *s, uint8_t highVectors)
{
    std::memset(s->r, 0, sizeof s->r);
    // Every mode's r13, r14 and saved status start at zero: nothing of a
    // previous game or loaded state may reach the next one.
    s->r13Usr = s->r14Usr = 0;
    s->spsrSvc = s->r13Svc = s->r14Svc = 0;
    s->spsrAbt = s->r13Abt = s->r14Abt = 0;
    s->spsrIrq = s->r13Irq = s->r14Irq = 0;
    s->spsrUnd = s->r13Und = s->r14Und = 0;
    s->spsrFiq = 0;
    std::memset(s->reserved160, 0, sizeof s->reserved160);
    std::memset(s->cp15, 0, sizeof s->cp15);
    s->highVectors = highVectors;
    s->r[15] = 0;
    s->cpsr = 0xD3;
    s->cyclesLeft = s->sliceLength;
    s->savedCycles = 0;
    s->earlyExit = 0;
    s->irqRequest = 0;
    DropHeldFetches();
}

void ArmSwitchMode(ArmState *s, uint32_t newCpsr)
{
    uint32_t old = s->cpsr;
    if ((old ^ newCpsr) & ModeMask) {
        uint32_t *from = ArmBankOf(s, old);
        from[0] = s->r[13];
        from[1] = s->r[14];
        uint32_t *to = ArmBankOf(s, newCpsr);
        s->r[13] = to[0];
        s->r[14] = to[1];
    }
    // Mode, T and I changes must be seen by the run loop before the next
    // instruction; flag and F changes need not.
    if ((old ^ newCpsr) & 0xBF)
        ArmEarlyExit(s);
    s->cpsr = newCpsr;
}

void ArmRequestIrq(ArmState *s)
{
    s->irqRequest = 1;
    ArmEarlyExit(s);
}

bool ArmEnterIrq(ArmState *s)
{
    uint32_t cpsr = s->cpsr;
    if (!s->irqRequest || (cpsr & FlagI))
        return false;
    s->spsrIrq = cpsr;
    ArmSwitchMode(s, (cpsr & ~0x2Du) | 0x92u);
    s->r[14] = s->r[15] + 4;
    s->r[15] = 0x18;
    return true;
}

namespace {

// One frame of the handheld: 228 lines of 1232 cycles. A running machine's
// slices (960 or 272 cycles) and countdowns stay far within it; larger
// values only come from a damaged file, and would freeze a frame for minutes
// or overflow the countdown when an early exit is folded back.
constexpr int32_t MaxCycleSpan = 228 * 1232;

bool InSpan(int32_t v) { return v >= -MaxCycleSpan && v <= MaxCycleSpan; }

bool ModeExists(uint32_t cpsr)
{
    switch (cpsr & ModeMask) {
    case ModeUser:
    case ModeFiq:
    case ModeIrq:
    case ModeSupervisor:
    case ModeAbort:
    case ModeUndefined:
    case ModeSystem: return true;
    default: return false;
    }
}

bool ImageIsSane(const ArmState &t)
{
    // A slice that is not positive would never give the machine its next
    // step; the flags are 0 or 1; r15 addresses whole instructions.
    if (t.sliceLength <= 0 || t.sliceLength > MaxCycleSpan || !InSpan(t.cyclesLeft) ||
        !InSpan(t.savedCycles))
        return false;
    if (t.earlyExit > 1 || t.highVectors > 1 || !ModeExists(t.cpsr))
        return false;
    return (t.r[15] & ((t.cpsr & FlagT) ? 1u : 3u)) == 0;
}

} // namespace

void ArmWriteImage(const ArmState &s, Zorvan::ByteWriter &out)
{
    out.u32(s.cpsr);
    for (uint32_t v : s.r)
        out.u32(v);
    out.u32(s.reserved68);
    const uint32_t banks[] = {s.r13Usr, s.r14Usr, s.spsrSvc, s.r13Svc, s.r14Svc,
                              s.spsrAbt, s.r13Abt, s.r14Abt, s.spsrIrq, s.r13Irq,
                              s.r14Irq, s.spsrUnd, s.r13Und, s.r14Und, s.spsrFiq};
    for (uint32_t v : banks)
        out.u32(v);
    for (uint32_t v : s.reserved132)
        out.u32(v);
    for (uint32_t v : s.reserved160)
        out.u32(v);
    for (uint32_t v : s.cp15)
        out.u32(v);
    out.u32(s.irqRequest);
    out.i32(s.sliceLength);
    out.i32(s.cyclesLeft);
    out.i32(s.savedCycles);
    out.u8(s.earlyExit);
    out.u8(s.highVectors);
    out.raw(s.reserved306, sizeof s.reserved306);
    out.u8(s.reportUnknown);
    out.raw(s.padding313, sizeof s.padding313);
}

bool ArmReadImage(ArmState &s, Zorvan::ByteReader &in)
{
    if (in.remaining() < ArmStateImageSize)
        return false;
    ArmState t{};
    t.cpsr = in.u32();
    for (uint32_t &v : t.r)
        v = in.u32();
    t.reserved68 = in.u32();
    uint32_t *banks[] = {&t.r13Usr, &t.r14Usr, &t.spsrSvc, &t.r13Svc, &t.r14Svc,
                         &t.spsrAbt, &t.r13Abt, &t.r14Abt, &t.spsrIrq, &t.r13Irq,
                         &t.r14Irq, &t.spsrUnd, &t.r13Und, &t.r14Und, &t.spsrFiq};
    for (uint32_t *v : banks)
        *v = in.u32();
    for (uint32_t &v : t.reserved132)
        v = in.u32();
    for (uint32_t &v : t.reserved160)
        v = in.u32();
    for (uint32_t &v : t.cp15)
        v = in.u32();
    t.irqRequest = in.u32();
    t.sliceLength = in.i32();
    t.cyclesLeft = in.i32();
    t.savedCycles = in.i32();
    t.earlyExit = in.u8();
    t.highVectors = in.u8();
    in.raw(t.reserved306, sizeof t.reserved306);
    t.reportUnknown = in.u8();
    in.raw(t.padding313, sizeof t.padding313);
    if (!in.ok())
        return false;
    if (!ImageIsSane(t))
        return false;
    s = t;
    // The image holds no pipeline: the loaded state fetches afresh.
    DropHeldFetches();
    return true;
}

} // namespace Tavrin
