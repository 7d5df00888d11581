// Points, sizes and rectangles in points, with the origin at the top left.
#pragma once

#include <algorithm>

namespace platform {

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  Point origin;
  Size size;

  constexpr Rect() = default;
  constexpr Rect(double x, double y, double width, double height)
      : origin{x, y}, size{width, height} {}

  double x() const { return origin.x; }
  double y() const { return origin.y; }
  double width() const { return size.width; }
  double height() const { return size.height; }
  // The same size at the origin: what a view calls its bounds.
  Rect bounds() const { return Rect(0, 0, size.width, size.height); }

  bool operator==(const Rect&) const = default;
};

// The part two rectangles share; empty (zero width or height) when none.
inline Rect intersection(const Rect& a, const Rect& b) {
  const double left = std::max(a.x(), b.x()), top = std::max(a.y(), b.y());
  const double right = std::min(a.x() + a.width(), b.x() + b.width());
  const double bottom = std::min(a.y() + a.height(), b.y() + b.height());
  return Rect(left, top, std::max(0.0, right - left), std::max(0.0, bottom - top));
}

}  // namespace platform
