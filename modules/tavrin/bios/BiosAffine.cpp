// The affine set-ups: rotation and scaling matrices for backgrounds (with
// their reference points) and for sprites.
#include "modules/tavrin/bios/BiosMemory.h"

#include "modules/tavrin/bus/MemoryBus.h"

#include <cmath>

namespace Tavrin {

namespace {

// An angle of the BIOS's unit (65536 a turn, with its 3.1415926) in radians.
double Radians(uint32_t angle) { return double(angle & 0xFFFF) * (-2 * 3.1415926 / 65536); }

// A scale of 0 counts as 1.0 in 8.8 fixed point.
double Scale(uint32_t half)
{
    const int32_t scale = int16_t(half);
    return scale == 0 ? 256.0 : double(scale);
}

// Doubles become integers through int32, truncating toward zero.
int32_t Truncate(double v) { return int32_t(v); }

struct Matrix {
    int32_t pa, pb, pc, pd;
};

Matrix Rotation(double sx, double sy, uint32_t angle)
{
    const double theta = Radians(angle);
    const double c = std::cos(theta), s = std::sin(theta);
    return {Truncate(c * sx), Truncate(s * sx), Truncate(-(s * sy)), Truncate(c * sy)};
}

} // namespace

void BiosBgAffineSet(ArmState *s)
{
    uint32_t src = s->r[0], dst = s->r[1];
    for (uint32_t i = 0; i < s->r[2]; ++i, src += 20, dst += 16) {
        const uint32_t centreX = BusRead32(src);
        const uint32_t centreY = BusRead32(src + 4);
        const uint32_t screenX = uint32_t(int32_t(int16_t(BusRead16(src + 8))));
        const uint32_t screenY = uint32_t(int32_t(int16_t(BusRead16(src + 10))));
        const double sx = Scale(BusRead16(src + 12));
        const double sy = Scale(BusRead16(src + 14));
        const Matrix m = Rotation(sx, sy, BusRead16(src + 16));
        BusWrite16(dst, uint32_t(m.pa) & 0xFFFF);
        BusWrite16(dst + 2, uint32_t(m.pb) & 0xFFFF);
        BusWrite16(dst + 4, uint32_t(m.pc) & 0xFFFF);
        BusWrite16(dst + 6, uint32_t(m.pd) & 0xFFFF);
        // Wrapping 32-bit arithmetic, as the console's registers hold it.
        BusWrite32(dst + 8, centreX - screenY * uint32_t(m.pb) - screenX * uint32_t(m.pa));
        BusWrite32(dst + 12, centreY - screenY * uint32_t(m.pd) - screenX * uint32_t(m.pc));
    }
}

void BiosObjAffineSet(ArmState *s)
{
    uint32_t src = s->r[0], dst = s->r[1];
    const uint32_t stride = s->r[3];
    for (uint32_t i = 0; i < s->r[2]; ++i, src += 8, dst += 4 * stride) {
        const double sx = Scale(BusRead16(src));
        const double sy = Scale(BusRead16(src + 2));
        const Matrix m = Rotation(sx, sy, BusRead16(src + 4));
        BusWrite16(dst, uint32_t(m.pa) & 0xFFFF);
        BusWrite16(dst + stride, uint32_t(m.pb) & 0xFFFF);
        BusWrite16(dst + 2 * stride, uint32_t(m.pc) & 0xFFFF);
        BusWrite16(dst + 3 * stride, uint32_t(m.pd) & 0xFFFF);
    }
}

} // namespace Tavrin
