#include "modules/tavrin/bios/BiosArithmetic.h"

#include "modules/tavrin/bios/BiosCall.h"

#include <cmath>

namespace Tavrin {

namespace {

// 32768 / 3.1415926: the BIOS's angle unit.
constexpr double AngleUnit = 10430.378528393529;

void Divide(ArmState *s, int32_t numerator, int32_t denominator)
{
    if (denominator == 0)
        return;
    // In 64 bits, so INT_MIN / -1 gives 0x80000000 rather than a trap.
    const int64_t q = int64_t(numerator) / denominator;
    const int64_t r = int64_t(numerator) % denominator;
    s->r[0] = uint32_t(q);
    s->r[1] = uint32_t(r);
    s->r[3] = uint32_t(q < 0 ? -q : q);
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
    s->r[0] = uint32_t(std::sqrt(double(s->r[0]))) & 0xFFFF;
}

void BiosArcTan(ArmState *s)
{
    const double x = int16_t(s->r[0]);
    BiosTrace("ArcTan(%f)", x / 16384);
    s->r[0] = uint32_t(int32_t(std::atan(x / 16384.0) * AngleUnit)) & 0xFFFF;
}

void BiosArcTan2(ArmState *s)
{
    const int32_t x = int16_t(s->r[0]);
    const int32_t y = int16_t(s->r[1]);
    BiosTrace("ArcTan2(%f,%f)", y / 16384.0, x / 16384.0);
    if (x == 0)
        s->r[0] = y >= 0 ? 0x4000 : 0xC000;
    else
        s->r[0] = uint32_t(int32_t(std::atan2(double(y), double(x)) * AngleUnit)) & 0xFFFF;
}

} // namespace Tavrin
