// The Z80 record's state image, then a frame run from what was accepted.
// A refused image leaves the record untouched; an accepted one writes back
// the same bytes (the reserved bytes aside); and the frame ends (a run loop
// that never reaches its line step shows as a timeout).
#include "modules/belcrest/testing/TestMachine.h"
#include "tools/fuzz/FuzzSupport.h"

#include <cstring>

using namespace Belcrest;

namespace {

bool NotCarried(size_t at) { return at == 27 || (at >= 44 && at <= 47); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Test::ResetMachine();
    Z80State cpu = Test::FreshCpu(228);
    cpu.BC.w = 0x1234;
    if (!Fuzz::ReadImageChecked(cpu, data, size, Z80ImageSize, Z80ReadImage, Z80WriteImage, NotCarried))
        return 0;
    FUZZ_CHECK(cpu.pendingInterrupt != Z80VectorQuit);

    // Countdowns up to the reader's bound only make the first slice
    // longer (millions of instructions); shortened, the fuzzer reaches far
    // more of the run loop in its time.
    cpu.cyclesLeft %= 4096;
    cpu.savedCyclesLeft %= 4096;

    // The rest of the input is the program; the line step asks for the
    // interrupts the input names and ends the frame after 40 lines.
    Fuzz::Input rest(data + Z80ImageSize, size - Z80ImageSize);
    const uint8_t hookCodes = rest.u8();
    for (size_t i = 0; i < std::min<size_t>(rest.left(), 0x10000); ++i)
        Test::Machine.at(uint16_t(i)) = rest.rest()[i];
    int lines = 0;
    Test::Machine.lineHook = [&](Z80State &c) -> uint16_t {
        c.linePeriod = 228;
        if (++lines == 40)
            FrameDone = 1;
        static const uint16_t vectors[4] = {Z80VectorNone, Z80VectorNmi, 0xFF, 0xC7};
        return vectors[(hookCodes >> (lines % 4 * 2)) & 3];
    };
    FUZZ_CHECK(Z80RunFrame(cpu) == 1);
    return 0;
}
