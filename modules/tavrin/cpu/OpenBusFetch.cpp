// Running from unmapped memory: the fetch reads the open-bus page, whose
// bytes decode as undefined in both instruction sets, and the undefined
// path executes the word the bus holds in its place.
#include "modules/tavrin/bus/OpenBus.h"
#include "modules/tavrin/cpu/ArmCondition.h"
#include "modules/tavrin/cpu/ArmOpcodeTable.h"
#include "modules/tavrin/cpu/ThumbDecoder.h"

namespace Tavrin {

namespace {

// Set while a word from the bus executes: if that word is itself undefined
// it is reported, not taken for another fetch.
bool RunningBusWord = false;

struct BusWordRun {
    BusWordRun() { RunningBusWord = true; }
    ~BusWordRun() { RunningBusWord = false; }
};

} // namespace

bool ArmRunOpenBus(ArmState *s)
{
    if (RunningBusWord || !InOpenBus(s->r[15] - 4))
        return false;
    const uint32_t op = OpenBusFetch();
    const BusWordRun run;
    if (ConditionPasses(op >> 28, s->cpsr))
        ArmOpcodeTable[ArmTableIndex(op)](s, op);
    else if ((op >> 28) == 0xF)
        ReportUndefinedOpcode(s, op);
    return true;
}

void ThumbUndefinedOrOpenBus(ArmState *s, uint32_t op, uint32_t pc)
{
    if (op != OpenBusFill * 0x0101u || RunningBusWord || !InOpenBus(pc)) {
        ThumbReportUndefined(s, op, pc);
        return;
    }
    const uint32_t half = (OpenBusFetch() >> (8 * (pc & 2))) & 0xFFFF;
    const BusWordRun run;
    ThumbExecute(s, half, pc);
}

} // namespace Tavrin
