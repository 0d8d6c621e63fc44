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

// Whether an instruction of a group leaves r15 as its fetch set it, unless
// it also ends the slice (the halt register's store steps r15 back): the
// next fetch then takes its address from the one just fetched instead of
// reading it back from the record. Every other group may jump (format 5,
// POP and LDMIA that load r15, branches, BL, the open-bus path).
constexpr bool ThumbGroupKeepsPc(uint32_t group)
{
    return group != 0x08 && group != 0x17 && group != 0x19 && (group < 0x1A || group == 0x1E);
}

// The THUMB instructions of one slice, fetched as ThumbStep fetches them,
// with the dispatch repeated at the end of every one of the 32 groups
// instead of one shared switch: each group's indirect jump then has a
// history of its own, and the host predicts the next group from the one
// just run far better than from a single jump for all of them. The groups
// are ThumbExecuteGroup's cases, so both ways run the same code.
template <bool Lahf>
[[gnu::hot, gnu::optimize("no-crossjumping")]] void ThumbRunSlice(ArmState *s)
{
    static constexpr int GroupCount = 32;
    static void *const Groups[GroupCount] = {
        &&g00, &&g01, &&g02, &&g03, &&g04, &&g05, &&g06, &&g07, &&g08, &&g09, &&g0A,
        &&g0B, &&g0C, &&g0D, &&g0E, &&g0F, &&g10, &&g11, &&g12, &&g13, &&g14, &&g15,
        &&g16, &&g17, &&g18, &&g19, &&g1A, &&g1B, &&g1C, &&g1D, &&g1E, &&g1F};
    uint32_t pc, op;

#define THUMB_NEXT(next)                                                               \
    do {                                                                               \
        if (s->cyclesLeft <= 0)                                                        \
            return;                                                                    \
        pc = (next);                                                                   \
        s->cyclesLeft -= WaitCycles16[(pc >> 24) & 15];                                \
        op = HostHalf(ReadPageTable[pc >> PageShift] + (pc & 0x3FFE));                 \
        s->r[15] = pc + 2;                                                             \
        goto *Groups[op >> 11];                                                        \
    } while (0)
#define THUMB_GROUP(n)                                                                 \
    g##n : ThumbExecuteGroup<Lahf>(s, op, pc, 0x##n);                                  \
    THUMB_NEXT(ThumbGroupKeepsPc(0x##n) ? pc + 2 : s->r[15]);

    THUMB_NEXT(s->r[15]);
    THUMB_GROUP(00) THUMB_GROUP(01) THUMB_GROUP(02) THUMB_GROUP(03)
    THUMB_GROUP(04) THUMB_GROUP(05) THUMB_GROUP(06) THUMB_GROUP(07)
    THUMB_GROUP(08) THUMB_GROUP(09) THUMB_GROUP(0A) THUMB_GROUP(0B)
    THUMB_GROUP(0C) THUMB_GROUP(0D) THUMB_GROUP(0E) THUMB_GROUP(0F)
    THUMB_GROUP(10) THUMB_GROUP(11) THUMB_GROUP(12) THUMB_GROUP(13)
    THUMB_GROUP(14) THUMB_GROUP(15) THUMB_GROUP(16) THUMB_GROUP(17)
    THUMB_GROUP(18) THUMB_GROUP(19) THUMB_GROUP(1A) THUMB_GROUP(1B)
    THUMB_GROUP(1C) THUMB_GROUP(1D) THUMB_GROUP(1E) THUMB_GROUP(1F)
#undef THUMB_GROUP
#undef THUMB_NEXT
}

// The ARM instructions of one slice.
[[gnu::hot, gnu::noinline]] void ArmRunSlice(ArmState *s)
{
    while (s->cyclesLeft > 0)
        ArmStep(s);
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
            if (HostHasLahf)
                ThumbRunSlice<true>(s);
            else
#endif
                ThumbRunSlice<false>(s);
        } else {
            ArmRunSlice(s);
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
