// The affine set-ups: rotation and scaling matrices for backgrounds (with
// their reference points) and for sprites, computed as the console's BIOS
// does: the angle's top byte picks a sine from a 256-entry table of 1.14
// fixed-point values, and each product is cut back to 8 fraction bits.
//
// A call works through its records while the slice has cycles; when they
// run out with records left, r0-r2 hold where it stopped and the SWI runs
// again after the line step, so any count lets the frame end.
#include "modules/tavrin/bios/BiosMemory.h"

#include "modules/tavrin/bus/MemoryBus.h"

#include <array>
#include <cmath>

namespace Tavrin {

namespace {

// round(sin(i * 2 pi / 256) * 16384), one turn in 256 steps.
const std::array<int32_t, 256> SineTable = [] {
    std::array<int32_t, 256> table{};
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = int32_t(std::lround(std::sin(double(i) * 2 * 3.14159265358979323846 / 256) * 16384));
    return table;
}();

struct Matrix {
    int32_t pa, pb, pc, pd;
};

int32_t Mul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }

Matrix Rotation(int32_t sx, int32_t sy, uint32_t angle)
{
    const uint32_t step = (angle >> 8) & 0xFF;
    const int32_t sin = SineTable[step];
    const int32_t cos = SineTable[(step + 64) & 0xFF];
    return {Mul(sx, cos) >> 14, -(Mul(sx, sin) >> 14), Mul(sy, sin) >> 14, Mul(sy, cos) >> 14};
}

int32_t Signed16(uint32_t half) { return int16_t(half); }

uint32_t InstructionSize(const ArmState *s) { return (s->cpsr & FlagT) ? 2 : 4; }

// Calls element(source, destination) for each of the r2 records, stepping
// by the record sizes. r0-r2 end as the BIOS's loop leaves them: past the
// last record, count 0.
template <class Element>
void ForEachRecord(ArmState *s, uint32_t sourceStep, uint32_t destinationStep, Element element)
{
    uint32_t source = s->r[0], destination = s->r[1], count = s->r[2];
    while (count) {
        element(source, destination);
        source += sourceStep;
        destination += destinationStep;
        --count;
        if (count && s->cyclesLeft <= 0) {
            s->r[15] -= InstructionSize(s);
            break;
        }
    }
    s->r[0] = source;
    s->r[1] = destination;
    s->r[2] = count;
}

} // namespace

void BiosBgAffineSet(ArmState *s)
{
    ForEachRecord(s, 20, 16, [](uint32_t src, uint32_t dst) {
        const int32_t centreX = int32_t(BusRead32(src));
        const int32_t centreY = int32_t(BusRead32(src + 4));
        const int32_t screenX = Signed16(BusRead16(src + 8));
        const int32_t screenY = Signed16(BusRead16(src + 10));
        const int32_t sx = Signed16(BusRead16(src + 12));
        const int32_t sy = Signed16(BusRead16(src + 14));
        const Matrix m = Rotation(sx, sy, BusRead16(src + 16));
        BusWrite16(dst, uint32_t(m.pa) & 0xFFFF);
        BusWrite16(dst + 2, uint32_t(m.pb) & 0xFFFF);
        BusWrite16(dst + 4, uint32_t(m.pc) & 0xFFFF);
        BusWrite16(dst + 6, uint32_t(m.pd) & 0xFFFF);
        // The screen point's texture position: the centre less the steps
        // from the screen's origin, in wrapping 32-bit arithmetic.
        BusWrite32(dst + 8, uint32_t(centreX) - uint32_t(Mul(m.pa, screenX)) - uint32_t(Mul(m.pb, screenY)));
        BusWrite32(dst + 12, uint32_t(centreY) - uint32_t(Mul(m.pc, screenX)) - uint32_t(Mul(m.pd, screenY)));
    });
}

void BiosObjAffineSet(ArmState *s)
{
    const uint32_t stride = s->r[3];
    ForEachRecord(s, 8, 4 * stride, [stride](uint32_t src, uint32_t dst) {
        const Matrix m = Rotation(Signed16(BusRead16(src)), Signed16(BusRead16(src + 2)), BusRead16(src + 4));
        BusWrite16(dst, uint32_t(m.pa) & 0xFFFF);
        BusWrite16(dst + stride, uint32_t(m.pb) & 0xFFFF);
        BusWrite16(dst + 2 * stride, uint32_t(m.pc) & 0xFFFF);
        BusWrite16(dst + 3 * stride, uint32_t(m.pd) & 0xFFFF);
    });
}

} // namespace Tavrin
