// The 6502 record's state image, then a frame run from what was accepted.
// A refused image leaves the record untouched; an accepted one writes back
// the same bytes (padding and the reserved fields, which keep their live
// values, aside); and the frame ends (a run loop that never reaches its line
// step shows as a timeout).
#include "modules/cindrel/testing/TestMachine.h"
#include "tools/fuzz/FuzzSupport.h"

#include <cstring>

using namespace Cindrel;

namespace {

// Bytes of the image the reader does not take from the file.
bool NotCarried(size_t at) { return at == 5 || at == 18 || at == 19 || (at >= 26 && at <= 31); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Test::ResetMachine();
    Cpu6502State cpu;
    cpu.A = 0x5A;
    cpu.linePeriod = 114;
    cpu.reservedWord = 0x1234;
    cpu.reservedByte = 0x56;
    if (!Fuzz::ReadImageChecked(cpu, data, size, Cpu6502ImageSize, Cpu6502ReadImage, Cpu6502WriteImage,
                                NotCarried))
        return 0;

    // The rest of the input is the program, from $0000 and again at the
    // top of memory where the vectors are; the line step asks for the
    // interrupts the input names and ends the frame after 40 lines.
    Fuzz::Input rest(data + Cpu6502ImageSize, size - Cpu6502ImageSize);
    const uint8_t hookCodes = rest.u8();
    std::memcpy(Test::Ram, rest.rest(), std::min<size_t>(rest.left(), 0x8000));
    if (rest.left() > 0)
        std::memcpy(Test::Ram + 0x10000 - std::min<size_t>(rest.left(), 0x100),
                    rest.rest(), std::min<size_t>(rest.left(), 0x100));
    int lines = 0;
    Test::OnLineHook = [&](Cpu6502State &c) {
        c.linePeriod = 114;
        if (++lines == 40)
            FrameDone = true;
        return int((hookCodes >> (lines % 4 * 2)) & 3) % IntQuit;
    };
    FUZZ_CHECK(Cpu6502RunFrame(cpu) == 1);
    return 0;
}
