// Points, sizes and rectangles in points, with the origin at the top left.
#pragma once

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

}  // namespace platform
