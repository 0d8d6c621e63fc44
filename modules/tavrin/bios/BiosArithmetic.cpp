// The arithmetic calls as the console's BIOS computes them, in integers:
// what a game reads back is bit for bit what the console gives, including
// its roundings.
#include "modules/tavrin/bios/BiosArithmetic.h"

#include "modules/tavrin/bios/BiosCall.h"

#include <initializer_list>

namespace Tavrin {

namespace {

// Signed 32-bit steps that wrap as the CPU's registers do.
int32_t Mul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }
int32_t Asr(int32_t v, int n) { return v >> n; }

// Division truncating toward zero; in 64 bits so INT_MIN / -1 gives
// 0x80000000 rather than a trap.
int32_t Quotient(int32_t numerator, int32_t denominator) { return int32_t(int64_t(numerator) / denominator); }

void Divide(ArmState *s, int32_t numerator, int32_t denominator)
{
    if (denominator == 0)
        return;
    const int64_t q = int64_t(numerator) / denominator;
    const int64_t r = int64_t(numerator) % denominator;
    s->r[0] = uint32_t(q);
    s->r[1] = uint32_t(r);
    s->r[3] = uint32_t(q < 0 ? -q : q);
}

// The arc tangent of a 1.14 fixed-point tangent as an angle of 65536 a turn:
// an odd polynomial in the tangent, its coefficients applied to the negated
// square step by step, each product cut back to 14 fraction bits.
int32_t ArcTanSteps(int32_t tangent)
{
    const int32_t square = -Asr(Mul(tangent, tangent), 14);
    int32_t sum = 0xA9;
    for (int32_t coefficient : {0x390, 0x91C, 0xFB6, 0x16AA, 0x2081, 0x3651, 0xA2F9})
        sum = Asr(Mul(sum, square), 14) + coefficient;
    return Asr(Mul(tangent, sum), 16);
}

// The angle of the vector (x, y): the arc tangent of the smaller over the
// larger coordinate, moved into the vector's octant.
uint32_t ArcTan2Steps(int32_t x, int32_t y)
{
    if (y == 0)
        return x >= 0 ? 0 : 0x8000;
    if (x == 0)
        return y >= 0 ? 0x4000 : 0xC000;
    const auto overX = [&] { return ArcTanSteps(Quotient(Mul(y, 1 << 14), x)); };
    const auto overY = [&] { return ArcTanSteps(Quotient(Mul(x, 1 << 14), y)); };
    if (y > 0) {
        if (x > 0 && x >= y)
            return uint32_t(overX());
        if (x < 0 && -x >= y)
            return uint32_t(overX() + 0x8000);
        return uint32_t(0x4000 - overY());
    }
    if (x < 0 && -x > -y)
        return uint32_t(overX() + 0x8000);
    if (x > 0 && x >= -y)
        return uint32_t(overX() + 0x10000);
    return uint32_t(0xC000 - overY());
}

// The largest r with r * r <= n, one result bit at a time.
uint32_t SquareRoot(uint32_t n)
{
    uint32_t root = 0, rest = n;
    for (uint32_t bit = 1u << 30; bit; bit >>= 2) {
        if (rest >= root + bit) {
            rest -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
    }
    return root;
}

} // namespace

void BiosDiv(ArmState *s)
{
    BiosTrace("Div(%d,%d)", int32_t(s->r[0]), int32_t(s->r[1]));
    Divide(s, int32_t(s->r[0]), int32_t(s->r[1]));
}

void BiosDivArm(ArmState *s)
{
    BiosTrace("DivARM(%d,%d)", int32_t(s->r[0]), int32_t(s->r[1]));
    Divide(s, int32_t(s->r[1]), int32_t(s->r[0]));
}

void BiosSqrt(ArmState *s)
{
    BiosTrace("Sqrt(%u)", s->r[0]);
    s->r[0] = SquareRoot(s->r[0]);
}

void BiosArcTan(ArmState *s)
{
    BiosTrace("ArcTan(%f)", int32_t(s->r[0]) / 16384.0);
    s->r[0] = uint32_t(ArcTanSteps(int32_t(s->r[0])));
}

void BiosArcTan2(ArmState *s)
{
    BiosTrace("ArcTan2(%f,%f)", int32_t(s->r[1]) / 16384.0, int32_t(s->r[0]) / 16384.0);
    s->r[0] = ArcTan2Steps(int32_t(s->r[0]), int32_t(s->r[1]));
}

} // namespace Tavrin
