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
        int const left = x > o.x ? x : o.x;
        int const top = y > o.y ? y : o.y;
        int const right = Right() < o.Right() ? Right() : o.Right();
        int const bottom = Bottom() < o.Bottom() ? Bottom() : o.Bottom();
        if (right <= left || bottom <= top)
            return Rect{left, top, 0, 0};
        return Rect{left, top, right - left, bottom - top};
    }

    friend bool operator==(Rect const&, Rect const&) = default;
};

} // namespace Ondrel
