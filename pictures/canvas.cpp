#include "pictures/canvas.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace dorvik::frames {
namespace {

Box Around(double x0, double y0, double x1, double y1) {
  return {static_cast<int>(std::floor(x0)) - 1, static_cast<int>(std::floor(y0)) - 1,
          static_cast<int>(std::ceil(x1)) + 1, static_cast<int>(std::ceil(y1)) + 1};
}

// Membership of every pixel of `box` widened by one, so that the outline test
// can look at each pixel's neighbours.
class Mask {
 public:
  Mask(const Shape& shape) : box_(shape.Bounds()) {
    box_ = {box_.x0 - 1, box_.y0 - 1, box_.x1 + 1, box_.y1 + 1};
    width_ = box_.x1 - box_.x0 + 1;
    inside_.resize(static_cast<size_t>(width_) * (box_.y1 - box_.y0 + 1));
    for (int y = box_.y0; y <= box_.y1; ++y)
      for (int x = box_.x0; x <= box_.x1; ++x)
        inside_[Index(x, y)] = shape.Contains({1.0 * x, 1.0 * y});
  }
  bool In(int x, int y) const {
    if (x < box_.x0 || x > box_.x1 || y < box_.y0 || y > box_.y1) return false;
    return inside_[Index(x, y)];
  }
  const Box& Bounds() const { return box_; }

 private:
  size_t Index(int x, int y) const {
    return static_cast<size_t>(y - box_.y0) * width_ + (x - box_.x0);
  }
  Box box_;
  int width_;
  std::vector<bool> inside_;
};

}  // namespace

Shape Shape::Disc(Vec c, double r) {
  return Shape(Around(c.x - r, c.y - r, c.x + r, c.y + r),
               [c, r](Vec p) { return Dot(p - c, p - c) <= r * r; });
}

Shape Shape::Capsule(Vec a, Vec b, double r) {
  const Vec ab = b - a;
  const double len2 = Dot(ab, ab);
  return Shape(Around(std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r,
                      std::max(a.y, b.y) + r),
               [a, ab, len2, r](Vec p) {
                 double t = len2 > 0 ? Dot(p - a, ab) / len2 : 0;
                 t = std::clamp(t, 0.0, 1.0);
                 const Vec d = p - (a + t * ab);
                 return Dot(d, d) <= r * r;
               });
}

Shape Shape::Area(Polygon corners) {
  double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
  for (const Vec& v : corners) {
    x0 = std::min(x0, v.x), x1 = std::max(x1, v.x);
    y0 = std::min(y0, v.y), y1 = std::max(y1, v.y);
  }
  return Shape(Around(x0, y0, x1, y1), [corners = std::move(corners)](Vec p) {
    bool in = false;
    for (size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
      const Vec& a = corners[i];
      const Vec& b = corners[j];
      if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x)
        in = !in;
    }
    return in;
  });
}

Shape Shape::Rect(double x0, double y0, double x1, double y1) {
  return Shape(Around(x0, y0, x1, y1),
               [=](Vec p) { return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1; });
}

Shape Shape::operator|(const Shape& other) const {
  const Box& a = box_;
  const Box& b = other.box_;
  return Shape(
      {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)},
      [l = contains_, r = other.contains_](Vec p) { return l(p) || r(p); });
}

Shape Shape::operator-(const Shape& other) const {
  return Shape(box_, [l = contains_, r = other.contains_](Vec p) { return l(p) && !r(p); });
}

void DrawOutline(Canvas& canvas, const Shape& shape, std::uint8_t colour) {
  const Mask mask(shape);
  const Box& b = mask.Bounds();
  for (int y = b.y0; y <= b.y1; ++y)
    for (int x = b.x0; x <= b.x1; ++x)
      if (mask.In(x, y) &&
          (!mask.In(x - 1, y) || !mask.In(x + 1, y) || !mask.In(x, y - 1) || !mask.In(x, y + 1)))
        canvas.Set(x, y, colour);
}

void Fill(Canvas& canvas, const Shape& shape, std::uint8_t colour) {
  const Box& b = shape.Bounds();
  for (int y = b.y0; y <= b.y1; ++y)
    for (int x = b.x0; x <= b.x1; ++x)
      if (shape.Contains({1.0 * x, 1.0 * y})) canvas.Set(x, y, colour);
}

void DrawLine(Canvas& canvas, int x0, int y0, int x1, int y1, std::uint8_t colour) {
  const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    canvas.Set(x0, y0, colour);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
}

}  // namespace dorvik::frames
