#pragma once

namespace Ondrel {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(Point const&, Point const&) = default;
};

// x, y, width, height. A rectangle with no area covers no pixel.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool IsEmpty() const { return width <= 0 || height <= 0; }
    bool IsNull() const { return x == 0 && y == 0 && width == 0 && height == 0; }
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool Contains(Point p) const { return p.x >= x && p.y >= y && p.x < Right() && p.y < Bottom(); }

    // The common part of two rectangles (empty when they do not meet).
    Rect Intersected(Rect const& o) const
    {
        // Edges in 64 bits: callers may pass rectangles far outside a surface.
        long long const left = x > o.x ? x : o.x;
        long long const top = y > o.y ? y : o.y;
        long long const r1 = (long long)x + width, r2 = (long long)o.x + o.width;
        long long const b1 = (long long)y + height, b2 = (long long)o.y + o.height;
        long long const right = r1 < r2 ? r1 : r2;
        long long const bottom = b1 < b2 ? b1 : b2;
        if (right <= left || bottom <= top)
            return Rect{int(left), int(top), 0, 0};
        return Rect{int(left), int(top), int(right - left), int(bottom - top)};
    }

    friend bool operator==(Rect const&, Rect const&) = default;
};

} // namespace Ondrel
