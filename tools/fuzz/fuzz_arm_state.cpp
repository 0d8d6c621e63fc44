// The ARM record's state image, then a frame run from what was accepted.
// A refused image leaves the record untouched; an accepted one writes back
// the same bytes; and the frame ends in reasonable time (a slice or a
// countdown of minutes shows as a timeout, an overflowing fold as a
// sanitizer report).
#include "modules/tavrin/cpu/ArmHooks.h"
#include "modules/tavrin/testing/TestMachine.h"
#include "tools/fuzz/FuzzSupport.h"

#include <cstring>

using namespace Tavrin;

namespace {

int Lines;
uint8_t IrqPattern;

// Scan lines of 960 and 272 cycles; the frame ends after 40 of them.
uint32_t FuzzLineHook(ArmState *s)
{
    ++Lines;
    s->sliceLength = (Lines & 1) ? 960 : 272;
    if (Lines == 40)
        FrameEnded = 1;
    return (IrqPattern >> (Lines % 8)) & 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Tavrin::Test::TestMachine *machine = new Tavrin::Test::TestMachine(0x10000);
    machine->ResetCpu();
    ArmState cpu = ConsoleCpu;
    cpu.r[0] = 0xCAFE;
    if (!Fuzz::ReadImageChecked(cpu, data, size, ArmStateImageSize, ArmReadImage, ArmWriteImage))
        return 0;

    // The rest of the input is the cartridge; IRQs come as the input says.
    Fuzz::Input rest(data + ArmStateImageSize, size - ArmStateImageSize);
    IrqPattern = rest.u8();
    std::memset(machine->cart.data(), 0, machine->cart.size());
    std::memcpy(machine->cart.data(), rest.rest(), std::min(rest.left(), machine->cart.size()));
    std::memset(machine->iwram.data(), 0, machine->iwram.size());
    ConsoleCpu = cpu;
    Lines = 0;
    FrameEnded = 0;
    SetStandInLineHook(&FuzzLineHook);
    FUZZ_CHECK(ArmRunFrame(&ConsoleCpu) == 1);
    return 0;
}
