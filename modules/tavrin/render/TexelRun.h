// Where a line of an affine layer stays inside its texture. The texture
// position of column k is start + k * step (8 fraction bits) on each axis,
// and moves one way along the line, so the columns whose texel lies inside
// form one run: found once per line, the walk over it needs no bounds test.
// The walk itself steps in 32 bits, which wrap; worked out here in 64, a
// position past either end of 32 bits is just as much outside the texture,
// since within one line it cannot come back round into it.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

namespace Tavrin {

struct ColumnRun {
    int32_t first, end;  // columns [first, end); empty when first >= end
};

// Rounded down; b > 0. A power of two (the step of a line drawn unscaled)
// is a shift; otherwise in 32 bits where a fits, as it nearly always does
// (a 64-bit division takes several times as long on many processors).
inline int64_t FloorDiv(int64_t a, int64_t b)
{
    if ((b & (b - 1)) == 0)
        return a >> std::countr_zero(uint64_t(b));
    if (a >= INT32_MIN && a <= INT32_MAX) {
        const int32_t q = int32_t(a) / int32_t(b), r = int32_t(a) % int32_t(b);
        return (r != 0 && a < 0) ? q - 1 : q;
    }
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// The columns k in [0, count) with 0 <= (start + k * step) >> 8 < limit.
inline ColumnRun TexelRun(int64_t start, int64_t step, int64_t limit, int32_t count)
{
    const int64_t top = limit << 8;  // start + k * step must lie in [0, top)
    int64_t first = 0, end = count;
    if (step > 0) {
        first = FloorDiv(-start + step - 1, step);
        end = FloorDiv(top - start + step - 1, step);
    } else if (step < 0) {
        first = FloorDiv(start - top, -step) + 1;
        end = FloorDiv(start, -step) + 1;
    } else if (start < 0 || start >= top) {
        end = 0;
    }
    return {int32_t(std::clamp<int64_t>(first, 0, count)), int32_t(std::clamp<int64_t>(end, 0, count))};
}

inline ColumnRun Intersect(ColumnRun a, ColumnRun b) { return {std::max(a.first, b.first), std::min(a.end, b.end)}; }

} // namespace Tavrin
