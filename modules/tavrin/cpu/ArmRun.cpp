#include "modules/tavrin/cpu/ArmRun.h"

#include "modules/tavrin/cpu/ArmCondition.h"
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/cpu/ArmOpcodeTable.h"
#include "modules/tavrin/cpu/ArmPrefetch.h"
#include "modules/tavrin/cpu/IdleLoop.h"
#include "modules/tavrin/cpu/ThumbDecoder.h"

namespace Tavrin {

uint8_t FrameEnded = 0;

namespace {

[[gnu::always_inline]] inline void ArmExecute(ArmState *s, uint32_t op)
{
    if (ConditionPasses(op >> 28, s->cpsr))
        ArmOpcodeTable[ArmTableIndex(op)](s, op);
    else if ((op >> 28) == 0xF)
        ReportUndefinedOpcode(s, op);
}

[[gnu::always_inline]] inline void ArmStep(ArmState *s)
{
    const uint32_t pc = s->r[15];
    s->cyclesLeft -= WaitCycles32[(pc >> 24) & 15];
    const uint32_t op = HostWord(ReadPageTable[pc >> PageShift] + (pc & 0x3FFC));
    s->r[15] = pc + 4;
    ArmExecute(s, op);
}

// One instruction whose opcode the pipeline kept from before a store over
// it, charged as its fetch; false when none is kept for r15.
[[gnu::noinline]] bool StepHeldFetch(ArmState *s)
{
    uint32_t op;
    if (!TakeHeldFetch(s, op))
        return false;
    const uint32_t pc = s->r[15];
    if (s->cpsr & FlagT) {
        s->cyclesLeft -= WaitCycles16[(pc >> 24) & 15];
        s->r[15] = pc + 2;
        ThumbExecute(s, op, pc);
    } else {
        s->cyclesLeft -= WaitCycles32[(pc >> 24) & 15];
        s->r[15] = pc + 4;
        ArmExecute(s, op);
    }
    return true;
}

// The slice's cycles: those saved by an early exit come back.
inline void FoldEarlyExit(ArmState *s)
{
    if (s->earlyExit) {
        s->cyclesLeft += s->savedCycles;
        s->earlyExit = 0;
    }
}

} // namespace

void ArmStepInstruction(ArmState *s)
{
    if (Prefetched.count && StepHeldFetch(s))
        return;
    // As the run loop steps, so that single steps go the same way.
#ifdef TAVRIN_HOST_FLAGS
    if ((s->cpsr & FlagT) && HostHasLahf) {
        ThumbStep<true>(s);
        return;
    }
#endif
    if (s->cpsr & FlagT)
        ThumbStep(s);
    else
        ArmStep(s);
}

namespace {

// Polling loops may be charged in bulk only between these brackets, so
// single steps always execute every turn.
struct IdleArmed {
    IdleArmed() { Idle.armed = 1; }
    ~IdleArmed() { Idle.armed = 0; }
};

} // namespace

int ArmRunFrame(ArmState *s)
{
    const IdleArmed armed;
    for (;;) {
        // Kept opcodes first; the store that kept them cut the slice.
        while (Prefetched.count && s->cyclesLeft > 0 && StepHeldFetch(s)) {
        }
        // The instruction set is chosen once per slice; anything that changes
        // it cuts the slice short.
        if (s->cpsr & FlagT) {
#ifdef TAVRIN_HOST_FLAGS
            if (HostHasLahf) {
                while (s->cyclesLeft > 0)
                    ThumbStep<true>(s);
            } else
#endif
            {
                while (s->cyclesLeft > 0)
                    ThumbStep(s);
            }
        } else {
            while (s->cyclesLeft > 0)
                ArmStep(s);
        }
        IdleSliceEnded();

        if (s->earlyExit) {
            FoldEarlyExit(s);
        } else {
            const uint32_t pending = LineHook(s);
            if (pending == LineHookStop)
                return 0;
            // A store made while the line step ran (DMA into the interrupt
            // registers) may have cut a slice that had already ended; fold
            // it now so a mode or T change in the next slice still cuts it.
            FoldEarlyExit(s);
            s->cyclesLeft += s->sliceLength;
            s->irqRequest = pending;
        }

        ArmEnterIrq(s);

        if (FrameEnded) {
            FrameEnded = 0;
            return 1;
        }
    }
}

} // namespace Tavrin
